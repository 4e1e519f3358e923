// Sources of HID arrivals and removals that are not window messages.
#pragma once
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hid.h"

namespace velmora {

struct HotplugEvent {
  std::string path;
  bool arrival = false;
};

// A udev monitor of the hidraw subsystem: a file descriptor for the event loop.
class HotplugMonitor {
 public:
  virtual ~HotplugMonitor() = default;
  virtual int Fd() const = 0;
  virtual std::vector<HotplugEvent> ReadEvents() = 0;
};

// nullptr where udev is not available.
std::unique_ptr<HotplugMonitor> CreateUdevMonitor();

// The fallback: compares successive enumerations.
class EnumerationPoller {
 public:
  explicit EnumerationPoller(HidFunctions& hid);
  std::vector<HotplugEvent> Poll();

 private:
  HidFunctions& hid_;
  std::set<std::string> known_;
  bool primed_ = false;
};

}  // namespace velmora
