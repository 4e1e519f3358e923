// Finding the КАДО at start-up and following HID arrivals and removals.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "../routes/clock.h"
#include "devicehost.h"
#include "devicestate.h"
#include "hid.h"

namespace velmora {

constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr uint32_t kDbtDevtypDeviceInterface = 5;

class DeviceLink {
 public:
  DeviceLink(HidFunctions& hid, DeviceContext& context, DeviceHost& host, Clock& clock);

  // 0 and the handle when a present interface with these IDs opened, 2 otherwise.
  int FindHidDevice(std::unique_ptr<HidDevice>& handle, uint16_t vendorId, uint16_t productId,
                    std::string* noticePath);
  // The start-up step, at the window's first activation; later calls do nothing.
  void FormActivate();
  // One arrival (kDbtDeviceArrival) or removal (any other code).
  void UpdateDevice(const std::string& path, uint32_t eventCode,
                    uint32_t deviceType = kDbtDevtypDeviceInterface);

  bool Loaded() const { return loaded_; }

 private:
  // Loads the HID library once; events that come before the start-up step load it too.
  bool EnsureLoaded();
  // Opens an arriving interface, retrying while its permissions may still be changing.
  std::unique_ptr<HidDevice> OpenArrival(const std::string& path);

  HidFunctions& hid_;
  DeviceContext& context_;
  DeviceHost& host_;
  Clock& clock_;
  bool loaded_ = false;
  bool loadTried_ = false;
};

}  // namespace velmora
