#include "hotplug.h"

namespace velmora {

std::unique_ptr<HotplugMonitor> CreateUdevMonitor(const std::string&) { return nullptr; }

}  // namespace velmora
