#include "hotplug.h"

namespace velmora {

EnumerationPoller::EnumerationPoller(HidFunctions& hid) : hid_(hid) {}

std::vector<HotplugEvent> EnumerationPoller::Poll() {
  std::set<std::string> present;
  for (const HidDeviceInfo& info : hid_.Enumerate()) present.insert(info.path);

  std::vector<HotplugEvent> events;
  // The first enumeration only learns what is there: the start-up step has
  // already processed the devices present at start.
  if (primed_) {
    // Removals before arrivals: a КАДО that re-enumerates under a new path (into
    // its boot loader) reads as gone, then back, as the window messages have it.
    for (const std::string& path : known_)
      if (!present.count(path)) events.push_back(HotplugEvent{path, false});
    for (const std::string& path : present)
      if (!known_.count(path)) events.push_back(HotplugEvent{path, true});
  }
  known_ = std::move(present);
  primed_ = true;
  return events;
}

}  // namespace velmora
