// The settings in the registry: HKEY_LOCAL_MACHINE\SOFTWARE\Informer Morvan, or the same
// key under HKEY_CURRENT_USER for a user who may not write the machine-wide part.
#include <windows.h>

#include "Sub.h"
#include "base/textbytes.h"

namespace velmora {
namespace {

const wchar_t kKeyPath[] = L"SOFTWARE\\Informer Morvan";
// Far above any path; a larger value is not ours.
constexpr DWORD kMaxValueBytes = 64 * 1024;
// The program has always been 32-bit: its machine-wide key lives in the 32-bit view.
constexpr REGSAM kMachineView = KEY_WOW64_32KEY;

bool KeyIn(HKEY root, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kKeyPath, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class RegistrySettingsBackend : public SettingsBackend {
 public:
  bool KeyExists() override {
    if (KeyIn(HKEY_CURRENT_USER, 0)) {
      root_ = HKEY_CURRENT_USER;
      view_ = 0;
      return true;
    }
    root_ = HKEY_LOCAL_MACHINE;
    view_ = kMachineView;
    return KeyIn(root_, view_);
  }

  bool ReadBinary(const std::string& name, std::vector<uint8_t>& out) override {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Query(name, type, data) || type != REG_BINARY) return false;
    out.assign(data.begin(), data.end());
    return true;
  }

  bool ReadString(const std::string& name, std::string& out, bool& missing) override {
    DWORD type = 0;
    std::vector<BYTE> data;
    missing = false;
    if (!Query(name, type, data, &missing)) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
    const std::size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    out = Utf8FromWide(text.data(), text.size());
    return true;
  }

  bool ReadDword(const std::string& name, uint32_t& out) override {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Query(name, type, data) || type != REG_DWORD || data.size() != 4) return false;
    out = static_cast<uint32_t>(DecodeLittleEndian(data.data(), 4));
    return true;
  }

  // The user's own key, once it exists, is where the values are read from; so it is also
  // where they go. Otherwise the machine-wide key, and the user's when that is refused.
  bool BeginWrite() override {
    EndWrite();
    if (KeyIn(HKEY_CURRENT_USER, 0)) return Create(HKEY_CURRENT_USER, 0);
    return Create(HKEY_LOCAL_MACHINE, kMachineView) || Create(HKEY_CURRENT_USER, 0);
  }

  bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override {
    return Set(name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
  }

  bool WriteString(const std::string& name, const std::string& value) override {
    const std::wstring w = WideFromUtf8(value);
    return Set(name, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
               static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
  }

  bool WriteDword(const std::string& name, uint32_t value) override {
    BYTE bytes[4];
    EncodeLittleEndian(bytes, value, 4);
    return Set(name, REG_DWORD, bytes, 4);
  }

  bool EndWrite() override {
    if (!writeKey_) return false;
    const bool ok = RegCloseKey(writeKey_) == ERROR_SUCCESS;
    writeKey_ = nullptr;
    return ok;
  }

  ~RegistrySettingsBackend() override {
    if (writeKey_) RegCloseKey(writeKey_);
  }

 private:
  // Opens the key for this one read and closes it again.
  bool Query(const std::string& name, DWORD& type, std::vector<BYTE>& data, bool* missing = nullptr) {
    if (!root_) KeyExists();
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, kKeyPath, 0, KEY_QUERY_VALUE | view_, &key) != ERROR_SUCCESS) return false;
    const std::wstring wname = WideFromUtf8(name);
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS && size <= kMaxValueBytes) {
      data.resize(size);
      rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, size ? data.data() : nullptr, &size);
      data.resize(rc == ERROR_SUCCESS ? size : 0);
    }
    RegCloseKey(key);
    if (missing) *missing = rc == ERROR_FILE_NOT_FOUND;
    return rc == ERROR_SUCCESS && size <= kMaxValueBytes;
  }

  bool Create(HKEY root, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    writeKey_ = key;
    return true;
  }

  bool Set(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    if (!writeKey_) return false;
    const std::wstring wname = WideFromUtf8(name);
    return RegSetValueExW(writeKey_, wname.c_str(), 0, type, data, size) == ERROR_SUCCESS;
  }

  HKEY root_ = nullptr;
  REGSAM view_ = 0;
  HKEY writeKey_ = nullptr;
};

}  // namespace

std::unique_ptr<SettingsBackend> CreateRegistrySettingsBackend() {
  return std::make_unique<RegistrySettingsBackend>();
}

}  // namespace velmora
