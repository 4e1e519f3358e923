#include "Sub.h"

#include <cstring>

#include "base/textbytes.h"

namespace velmora {
namespace {

const char kLastDateTime[] = "LastDateTime";
const char kLastFileBrel[] = "LastFileBrel";
const char kAutoSend[] = "AutoSend";

// The OLE date as an IEEE-754 double, little-endian whatever the host.
std::vector<uint8_t> DateBytes(double oleDate) {
  uint64_t bits = 0;
  std::memcpy(&bits, &oleDate, sizeof bits);
  std::vector<uint8_t> bytes(8);
  EncodeLittleEndian(bytes.data(), bits, 8);
  return bytes;
}

double DateOf(const std::vector<uint8_t>& bytes) {
  const uint64_t bits = DecodeLittleEndian(bytes.data(), 8);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

void ReadSettings(SettingsBackend& backend, SettingsValues& values) {
  values.lastFile.clear();
  if (!backend.KeyExists()) return;
  // The first failed read ends the reading; what was read before it stays.
  std::vector<uint8_t> date;
  if (!backend.ReadBinary(kLastDateTime, date) || date.size() != 8) return;
  values.lastDateTime = DateOf(date);

  std::string file;
  bool missing = false;
  if (backend.ReadString(kLastFileBrel, file, missing)) {
    values.lastFile = file;
  } else if (!missing) {
    return;
  }

  uint32_t autoSend = 0;
  if (!backend.ReadDword(kAutoSend, autoSend)) return;
  values.autoSend = autoSend;
}

bool WriteSettings(SettingsBackend& backend, SettingsValues& values, const DateTime& now) {
  values.lastDateTime = ToOleDate(now);
  if (!backend.BeginWrite()) return false;
  bool ok = backend.WriteBinary(kLastDateTime, DateBytes(values.lastDateTime));
  ok = backend.WriteString(kLastFileBrel, values.lastFile) && ok;
  ok = backend.WriteDword(kAutoSend, values.autoSend) && ok;
  return backend.EndWrite() && ok;
}

// ---------------------------------------------------------------- memory

TypedSettingsValue TypedSettingsValue::Binary(const std::vector<uint8_t>& bytes) {
  return {SettingsType::Binary, std::string(bytes.begin(), bytes.end())};
}

TypedSettingsValue TypedSettingsValue::String(const std::string& utf8) {
  return {SettingsType::String, utf8};
}

TypedSettingsValue TypedSettingsValue::Dword(uint32_t value) {
  uint8_t bytes[4];
  EncodeLittleEndian(bytes, value, 4);
  return {SettingsType::Dword, std::string(bytes, bytes + 4)};
}

bool MemorySettingsBackend::KeyExists() { return keyExists; }

bool MemorySettingsBackend::ReadBinary(const std::string& name, std::vector<uint8_t>& out) {
  const auto it = values.find(name);
  if (!keyExists || it == values.end() || it->second.type != SettingsType::Binary) return false;
  out.assign(it->second.data.begin(), it->second.data.end());
  return true;
}

bool MemorySettingsBackend::ReadString(const std::string& name, std::string& out, bool& missing) {
  const auto it = values.find(name);
  missing = !keyExists || it == values.end();
  if (missing) return false;
  const SettingsType t = it->second.type;
  if (t != SettingsType::String && t != SettingsType::ExpandString) return false;
  out = it->second.data.substr(0, it->second.data.find('\0'));
  return true;
}

bool MemorySettingsBackend::ReadDword(const std::string& name, uint32_t& out) {
  const auto it = values.find(name);
  if (!keyExists || it == values.end() || it->second.type != SettingsType::Dword ||
      it->second.data.size() != 4)
    return false;
  out = static_cast<uint32_t>(
      DecodeLittleEndian(reinterpret_cast<const uint8_t*>(it->second.data.data()), 4));
  return true;
}

bool MemorySettingsBackend::BeginWrite() {
  if (!writable) return false;
  keyExists = true;
  return true;
}

bool MemorySettingsBackend::WriteBinary(const std::string& name, const std::vector<uint8_t>& value) {
  if (!writable) return false;
  values[name] = TypedSettingsValue::Binary(value);
  return true;
}

bool MemorySettingsBackend::WriteString(const std::string& name, const std::string& value) {
  if (!writable) return false;
  values[name] = TypedSettingsValue::String(value);
  return true;
}

bool MemorySettingsBackend::WriteDword(const std::string& name, uint32_t value) {
  if (!writable) return false;
  values[name] = TypedSettingsValue::Dword(value);
  return true;
}

bool MemorySettingsBackend::EndWrite() { return writable; }

std::unique_ptr<SettingsBackend> CreateMemorySettingsBackend() {
  return std::make_unique<MemorySettingsBackend>();
}

}  // namespace velmora
