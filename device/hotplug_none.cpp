#include "hotplug.h"

namespace velmora {

std::unique_ptr<HotplugMonitor> CreateUdevMonitor() { return nullptr; }

}  // namespace velmora
