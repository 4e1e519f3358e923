// The HID interface of the device link: enumeration, open, attributes, strings and
// feature reports. One backend per platform (hidapi, Windows HID.DLL) and a simulated КАДО.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kado.h"

namespace velmora {

struct HidAttributes {
  uint32_t size = 12;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
};

struct HidDeviceInfo {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

// An opened HID interface; destroying it closes the handle.
class HidDevice {
 public:
  virtual ~HidDevice() = default;
  virtual bool GetAttributes(HidAttributes& out) = 0;
  virtual bool GetManufacturerString(std::u32string& out) = 0;
  virtual bool GetProductString(std::u32string& out) = 0;
  // buffer[0] holds the report ID. `length` is the number of bytes asked for and, on
  // success, the number handed back (report ID included).
  virtual bool GetFeature(uint8_t* buffer, std::size_t& length) = 0;
  virtual bool SetFeature(const uint8_t* buffer, std::size_t length) = 0;
};

class HidFunctions {
 public:
  virtual ~HidFunctions() = default;
  // Loads the platform's HID library; false when it cannot be used.
  virtual bool Load() = 0;
  virtual std::vector<HidDeviceInfo> Enumerate() = 0;
  // nullptr when the path does not open. `exclusive`: no sharing (device operations).
  virtual std::unique_ptr<HidDevice> Open(const std::string& path, bool exclusive) = 0;
};

// The IDs in a Windows interface path ("\\?\hid#vid_16c0&pid_05df#..."), any letter case;
// false when the path does not carry them.
bool IdsFromInterfacePath(const std::string& path, uint16_t& vendorId, uint16_t& productId);

// The length of a feature-report reply as the Windows HID class driver hands it back:
// `returned` bytes, which leave out the report-ID byte when the device numbers no reports
// (ID 0). Bounded by the `asked` length; report ID included.
std::size_t FeatureReplyLength(uint8_t reportId, unsigned long returned, std::size_t asked);

// The backend of this platform (hidapi on Linux and macOS, HID.DLL on Windows); never null,
// a build without a HID library gets one whose Load() fails.
std::unique_ptr<HidFunctions> CreateSystemHidFunctions();

}  // namespace velmora
