#include <hidapi.h>

#include <algorithm>
#include <cwchar>

#include "../routes/textbytes.h"
#include "hid.h"

namespace velmora {

namespace {

constexpr std::size_t kStringUnits = 256;

class HidapiDevice : public HidDevice {
 public:
  explicit HidapiDevice(hid_device* device) : device_(device) {}
  ~HidapiDevice() override { hid_close(device_); }

  bool GetAttributes(HidAttributes& out) override {
    hid_device_info* info = hid_get_device_info(device_);
    if (!info) return false;
    out = HidAttributes{};
    out.vendorId = info->vendor_id;
    out.productId = info->product_id;
    out.versionNumber = info->release_number;
    return true;
  }

  bool GetManufacturerString(std::u32string& out) override {
    wchar_t text[kStringUnits] = {};
    if (hid_get_manufacturer_string(device_, text, kStringUnits) != 0) return false;
    text[kStringUnits - 1] = 0;
    out = FromWide(text, kStringUnits);
    return true;
  }

  bool GetProductString(std::u32string& out) override {
    wchar_t text[kStringUnits] = {};
    if (hid_get_product_string(device_, text, kStringUnits) != 0) return false;
    text[kStringUnits - 1] = 0;
    out = FromWide(text, kStringUnits);
    return true;
  }

  // hidapi wants the report ID in buffer[0] and returns the bytes read, ID included.
  bool GetFeature(uint8_t* buffer, std::size_t& length) override {
    const int read = hid_get_feature_report(device_, buffer, length);
    if (read < 0) return false;
    length = std::min(static_cast<std::size_t>(read), length);
    return true;
  }

  bool SetFeature(const uint8_t* buffer, std::size_t length) override {
    return hid_send_feature_report(device_, buffer, length) >= 0;
  }

 private:
  hid_device* device_;
};

class HidapiFunctions : public HidFunctions {
 public:
  ~HidapiFunctions() override {
    if (loaded_) hid_exit();
  }

  bool Load() override {
    if (!loaded_) loaded_ = hid_init() == 0;
    return loaded_;
  }

  std::vector<HidDeviceInfo> Enumerate() override {
    std::vector<HidDeviceInfo> devices;
    if (!loaded_) return devices;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* info = list; info; info = info->next) {
      if (!info->path) continue;
      HidDeviceInfo device;
      device.path = info->path;
      device.vendorId = info->vendor_id;
      device.productId = info->product_id;
      devices.push_back(std::move(device));
    }
    hid_free_enumeration(list);
    return devices;
  }

  // hidraw has no sharing modes: a device operation holds the node by its DeviceLock.
  std::unique_ptr<HidDevice> Open(const std::string& path, bool /*exclusive*/) override {
    if (!loaded_) return nullptr;
    hid_device* device = hid_open_path(path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device);
  }

 private:
  bool loaded_ = false;
};

}  // namespace

std::unique_ptr<HidFunctions> CreateSystemHidFunctions() {
  return std::make_unique<HidapiFunctions>();
}

}  // namespace velmora
