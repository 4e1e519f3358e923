// The settings kept between runs: the moment of the last close, the last file and one
// integer carried along unchanged. One store, one backend per platform.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"

namespace velmora {

struct SettingsValues {
  double lastDateTime = 0;     // OLE date
  std::string lastFile;        // UTF-8 path; empty when no file was current
  uint32_t autoSend = 0;
};

// One key holding typed values, as the registry does.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  virtual bool KeyExists() = 0;
  // Each read fails when the value is missing or not of its type (and size).
  virtual bool ReadBinary(const std::string& name, std::vector<uint8_t>& out) = 0;
  // `missing` is set when the value does not exist (a failed read otherwise).
  virtual bool ReadString(const std::string& name, std::string& out, bool& missing) = 0;
  virtual bool ReadDword(const std::string& name, uint32_t& out) = 0;
  // Creates the key when needed; false when nothing can be written.
  virtual bool BeginWrite() = 0;
  virtual bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) = 0;
  virtual bool WriteString(const std::string& name, const std::string& value) = 0;
  virtual bool WriteDword(const std::string& name, uint32_t value) = 0;
  virtual bool EndWrite() = 0;
};

// Read stops at the first failed read, silently. Write writes all three values and
// reports only whether it succeeded; it never keeps the program from ending.
void ReadSettings(SettingsBackend& backend, SettingsValues& values);
bool WriteSettings(SettingsBackend& backend, SettingsValues& values, const DateTime& now);

// The settings file "settings.conf" in `folder` (the user's configuration folder on
// Linux), created with the folder at the first write. One value a line, with its type:
//   LastDateTime=binary:<hex bytes>  LastFileBrel=string:<UTF-8, "\\" escapes>  AutoSend=dword:<n>
// A line that cannot be parsed holds a value of no usable type, which fails its read.
std::unique_ptr<SettingsBackend> CreateFileSettingsBackend(const std::string& folder);
extern const char kSettingsFileName[];
// HKEY_LOCAL_MACHINE\SOFTWARE\Informer Morvan. A user without rights to the machine-wide
// part writes the same key under HKEY_CURRENT_USER, and a key found there is read (and
// written) first. Windows only.
std::unique_ptr<SettingsBackend> CreateRegistrySettingsBackend();
// For the tests.
std::unique_ptr<SettingsBackend> CreateMemorySettingsBackend();

enum class SettingsType { Binary, String, ExpandString, Dword, Other };
// Raw bytes as the registry keeps them: strings UTF-8, a DWORD 4 bytes little-endian.
struct TypedSettingsValue {
  SettingsType type = SettingsType::Other;
  std::string data;
  static TypedSettingsValue Binary(const std::vector<uint8_t>& bytes);
  static TypedSettingsValue String(const std::string& utf8);
  static TypedSettingsValue Dword(uint32_t value);
};

// A key held in memory: the tests' backend, and what the settings file is read into.
class MemorySettingsBackend : public SettingsBackend {
 public:
  bool keyExists = false;
  bool writable = true;
  std::map<std::string, TypedSettingsValue> values;

  bool KeyExists() override;
  bool ReadBinary(const std::string& name, std::vector<uint8_t>& out) override;
  bool ReadString(const std::string& name, std::string& out, bool& missing) override;
  bool ReadDword(const std::string& name, uint32_t& out) override;
  bool BeginWrite() override;
  bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override;
  bool WriteString(const std::string& name, const std::string& value) override;
  bool WriteDword(const std::string& name, uint32_t value) override;
  bool EndWrite() override;
};

}  // namespace velmora
