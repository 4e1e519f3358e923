// Sources of HID arrivals and removals that are not window messages.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "hid.h"

namespace velmora {

struct HotplugEvent {
  std::string path;
  bool arrival = false;
  // From the enumeration or the event itself; 0 and 0 when the source does not tell.
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  bool IdsKnown() const { return vendorId != 0 || productId != 0; }
};

// A udev monitor of the hidraw subsystem: a file descriptor for the event loop.
class HotplugMonitor {
 public:
  virtual ~HotplugMonitor() = default;
  virtual int Fd() const = 0;
  virtual std::vector<HotplugEvent> ReadEvents() = 0;
};

// The udev daemon's control socket: where it is missing no daemon runs, and a netlink
// monitor, though it opens, never receives an event (containers, minimal systems).
constexpr char kUdevControlSocket[] = "/run/udev/control";

// nullptr where udev is not available or its daemon does not run.
std::unique_ptr<HotplugMonitor> CreateUdevMonitor(const std::string& controlSocket = kUdevControlSocket);

// "0003:000016C0:000005DF", the HID_ID of a hid device in udev: bus, vendor, product.
bool ParseUdevHidId(const std::string& text, uint16_t& vendorId, uint16_t& productId);

// The fallback: compares successive enumerations. A device is its path with its IDs: the
// same node under new IDs (a КАДО restarting into its boot loader within one interval,
// Linux handing out the lowest free hidraw number again) is a removal and an arrival.
class EnumerationPoller {
 public:
  explicit EnumerationPoller(HidFunctions& hid);
  std::vector<HotplugEvent> Poll();

 private:
  HidFunctions& hid_;
  std::set<std::tuple<std::string, uint16_t, uint16_t>> known_;
  bool primed_ = false;
};

}  // namespace velmora
