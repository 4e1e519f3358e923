#include <libudev.h>

#include <unistd.h>

#include <cstring>

#include "hotplug.h"

namespace velmora {

namespace {

// Enough for a burst (a hub with several devices); the rest waits for the next read.
constexpr int kMaxEventsPerRead = 64;

class UdevMonitor : public HotplugMonitor {
 public:
  UdevMonitor(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
  ~UdevMonitor() override {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }

  int Fd() const override { return udev_monitor_get_fd(monitor_); }

  // The monitor's socket does not block: this returns what is queued.
  std::vector<HotplugEvent> ReadEvents() override {
    std::vector<HotplugEvent> events;
    for (int i = 0; i < kMaxEventsPerRead; ++i) {
      udev_device* device = udev_monitor_receive_device(monitor_);
      if (!device) break;
      const char* action = udev_device_get_action(device);
      const char* node = udev_device_get_devnode(device);
      if (action && node) {
        HotplugEvent event{node, std::strcmp(action, "add") == 0};
        // The IDs come with the event, so a foreign arrival needs no open to be told apart.
        if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr)) {
          if (const char* id = udev_device_get_property_value(hid, "HID_ID"))
            ParseUdevHidId(id, event.vendorId, event.productId);
        }
        if (event.arrival || std::strcmp(action, "remove") == 0) events.push_back(std::move(event));
      }
      udev_device_unref(device);
    }
    return events;
  }

 private:
  udev* udev_;
  udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<HotplugMonitor> CreateUdevMonitor(const std::string& controlSocket) {
  // The test libudev's own tools make: without the daemon's control socket the netlink
  // monitor opens but stays silent.
  if (access(controlSocket.c_str(), F_OK) != 0) return nullptr;
  udev* context = udev_new();
  if (!context) return nullptr;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (!monitor) {
    udev_unref(context);
    return nullptr;
  }
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0) {
    udev_monitor_unref(monitor);
    udev_unref(context);
    return nullptr;
  }
  return std::make_unique<UdevMonitor>(context, monitor);
}

}  // namespace velmora
