// Finding the КАДО at start-up and following HID arrivals and removals.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "devicehost.h"
#include "devicestate.h"
#include "hid.h"
#include "hotplug.h"

namespace velmora {

constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr uint32_t kDbtDevtypDeviceInterface = 5;

class DeviceLink {
 public:
  DeviceLink(HidFunctions& hid, DeviceContext& context, DeviceHost& host);

  // 0 and the handle when a present interface with these IDs opened, 2 otherwise.
  int FindHidDevice(std::unique_ptr<HidDevice>& handle, uint16_t vendorId, uint16_t productId,
                    std::string* noticePath);
  // The start-up step, at the window's first activation; later calls do nothing.
  void FormActivate();
  // One arrival (kDbtDeviceArrival) or removal (any other code) of an interface whose
  // IDs are not known before it is opened.
  void UpdateDevice(const std::string& path, uint32_t eventCode,
                    uint32_t deviceType = kDbtDevtypDeviceInterface);
  // The same with the IDs the event carries: a device that is no КАДО is not opened.
  void UpdateDevice(const HotplugEvent& event, uint32_t deviceType = kDbtDevtypDeviceInterface);

  // A КАДО candidate whose node did not open at its arrival (its permissions may still be
  // on their way) is tried again up to kOpenAttempts times, each kOpenRetryMs after the
  // last: the host schedules the step (DeviceHost::ScheduleOpenRetry) and calls it. During
  // a device write it only asks to be called again.
  void RetryOpen();
  bool RetryPending() const { return pending_.attempts > 0; }
  static constexpr int kOpenAttempts = 5;
  static constexpr int kOpenRetryMs = 50;

  bool Loaded() const { return loaded_; }

 private:
  struct PendingOpen {
    std::string path;
    uint32_t deviceType = kDbtDevtypDeviceInterface;
    int attempts = 0;   // 0: nothing pending
  };

  // Loads the HID library once; events that come before the start-up step load it too.
  bool EnsureLoaded();
  void Arrival(const HotplugEvent& event, uint32_t deviceType);
  // The arrival line and, for a КАДО, the device state, from an opened interface.
  void TakeArrival(const std::string& path, uint32_t deviceType, std::unique_ptr<HidDevice> device);

  HidFunctions& hid_;
  DeviceContext& context_;
  DeviceHost& host_;
  PendingOpen pending_;
  bool loaded_ = false;
  bool loadTried_ = false;
};

}  // namespace velmora
