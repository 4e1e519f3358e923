#include "hid.h"

namespace velmora {

namespace {

// A build without a HID library: the program runs, no device is ever found.
class NoHidFunctions : public HidFunctions {
 public:
  bool Load() override { return false; }
  std::vector<HidDeviceInfo> Enumerate() override { return {}; }
  std::unique_ptr<HidDevice> Open(const std::string&, bool) override { return nullptr; }
};

}  // namespace

std::unique_ptr<HidFunctions> CreateSystemHidFunctions() {
  return std::make_unique<NoHidFunctions>();
}

}  // namespace velmora
