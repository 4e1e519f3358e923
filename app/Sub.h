// The settings kept between runs: the moment of the last close, the last file and one
// integer carried along unchanged. One store, one backend per platform.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "routes/clock.h"

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

// A settings file in `folder` (the user's configuration folder on Linux).
std::unique_ptr<SettingsBackend> CreateFileSettingsBackend(const std::string& folder);
// HKEY_LOCAL_MACHINE\SOFTWARE\Informer Morvan, falling back to HKEY_CURRENT_USER. Windows only.
std::unique_ptr<SettingsBackend> CreateRegistrySettingsBackend();
// For the tests.
std::unique_ptr<SettingsBackend> CreateMemorySettingsBackend();

}  // namespace velmora
