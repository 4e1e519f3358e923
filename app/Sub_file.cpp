// The settings kept in a file, for systems without a registry. The values keep their
// types so that a value of the wrong type or size fails its read as in the registry.
#include <filesystem>
#include <system_error>

#include "Sub.h"
#include "base/fileio.h"
#include "base/textbytes.h"

namespace velmora {

const char kSettingsFileName[] = "settings.conf";

namespace {

// Three short values; a larger file is not ours.
constexpr std::size_t kMaxSettingsFile = 1024 * 1024;
const char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool DecodeHex(const std::string& hex, std::string& out) {
  if (hex.size() % 2 != 0) return false;
  out.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

std::string EncodeHex(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c < 0x20 || c == 0x7F) out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    else out.push_back(static_cast<char>(c));
  }
  return out;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': out.push_back('\\'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 'x': {
        std::string byte;
        if (i + 2 >= text.size()) return false;
        if (!DecodeHex(text.substr(i + 1, 2), byte) || byte.size() != 1) return false;
        out += byte;
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

TypedSettingsValue ParseValue(const std::string& typed) {
  TypedSettingsValue v;
  const std::size_t colon = typed.find(':');
  if (colon == std::string::npos) return v;
  const std::string type = typed.substr(0, colon);
  const std::string text = typed.substr(colon + 1);
  std::string data;
  if (type == "binary" && DecodeHex(text, data)) return {SettingsType::Binary, data};
  if (type == "string" && Unescape(text, data)) return {SettingsType::String, data};
  if (type == "expand" && Unescape(text, data)) return {SettingsType::ExpandString, data};
  if (type == "dword" && !text.empty() && text.size() <= 10) {
    uint64_t n = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return v;
      n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (n <= 0xFFFFFFFFull) return TypedSettingsValue::Dword(static_cast<uint32_t>(n));
  }
  return v;
}

std::string FormatValue(const TypedSettingsValue& v) {
  switch (v.type) {
    case SettingsType::Binary: return "binary:" + EncodeHex(v.data);
    case SettingsType::String: return "string:" + Escape(v.data);
    case SettingsType::ExpandString: return "expand:" + Escape(v.data);
    case SettingsType::Dword: {
      if (v.data.size() != 4) return std::string();
      const uint8_t* bytes = reinterpret_cast<const uint8_t*>(v.data.data());
      return "dword:" + std::to_string(DecodeLittleEndian(bytes, 4));
    }
    case SettingsType::Other: break;
  }
  return std::string();
}

class FileSettingsBackend : public MemorySettingsBackend {
 public:
  explicit FileSettingsBackend(std::string folder)
      : folder_(std::move(folder)), path_(folder_ + "/" + kSettingsFileName) {}

  bool KeyExists() override {
    Load();
    return keyExists;
  }

  bool BeginWrite() override {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(folder_), ec);
    if (ec) return false;
    Load();  // values of the file that this program does not write are kept
    keyExists = true;
    writable = true;
    return true;
  }

  bool EndWrite() override {
    std::string text = "# Velmora: settings kept between runs\n";
    for (const auto& [name, value] : values) {
      const std::string formatted = FormatValue(value);
      if (!formatted.empty()) text += name + "=" + formatted + "\n";
    }
    return WriteFileAtomic(path_, text).empty();
  }

 private:
  void Load() {
    values.clear();
    const FileRead file = ReadWholeFile(path_, kMaxSettingsFile);
    keyExists = file.status == ReadStatus::Ok;
    if (!keyExists) return;
    std::size_t pos = 0;
    const std::string& s = file.bytes;
    while (pos < s.size()) {
      std::size_t end = s.find('\n', pos);
      if (end == std::string::npos) end = s.size();
      std::string line = s.substr(pos, end - pos);
      pos = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      values[line.substr(0, eq)] = ParseValue(line.substr(eq + 1));
    }
  }

  std::string folder_;
  std::string path_;
};

}  // namespace

std::unique_ptr<SettingsBackend> CreateFileSettingsBackend(const std::string& folder) {
  return std::make_unique<FileSettingsBackend>(folder);
}

}  // namespace velmora
