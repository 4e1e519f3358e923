#include "devicelock.h"
#include "transport.h"

namespace velmora {

DeviceLock::~DeviceLock() = default;

int DeviceLock::Acquire(const std::string&) { return kStatusOk; }

void DeviceLock::Release() {}

bool DeviceLock::Available() { return false; }

}  // namespace velmora
