#include <hidapi.h>
#include <locale.h>

#include <algorithm>
#include <cwchar>

#include "base/textbytes.h"
#include "hid.h"

namespace velmora {

namespace {

constexpr std::size_t kStringUnits = 256;

// hidapi's hidraw backend turns the kernel's UTF-8 device strings into wide text with
// mbstowcs, which follows LC_CTYPE: in the C locale (velmora-cli, a session with LANG=C) a
// Cyrillic product string comes back empty. Its calls run under a UTF-8 locale of this thread
// only; hidapi keeps the strings of an opened device from its first call on.
class Utf8Strings {
 public:
  Utf8Strings() {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8) previous_ = uselocale(utf8);
  }
  ~Utf8Strings() {
    if (previous_) uselocale(previous_);
  }
  Utf8Strings(const Utf8Strings&) = delete;
  Utf8Strings& operator=(const Utf8Strings&) = delete;

 private:
  locale_t previous_ = static_cast<locale_t>(0);
};

class HidapiDevice : public HidDevice {
 public:
  explicit HidapiDevice(hid_device* device) : device_(device) {}
  ~HidapiDevice() override { hid_close(device_); }

  bool GetAttributes(HidAttributes& out) override {
    const Utf8Strings utf8;
    hid_device_info* info = hid_get_device_info(device_);
    if (!info) return false;
    out = HidAttributes{};
    out.vendorId = info->vendor_id;
    out.productId = info->product_id;
    out.versionNumber = info->release_number;
    return true;
  }

  bool GetManufacturerString(std::u32string& out) override {
    const Utf8Strings utf8;
    wchar_t text[kStringUnits] = {};
    if (hid_get_manufacturer_string(device_, text, kStringUnits) != 0) return false;
    text[kStringUnits - 1] = 0;
    out = FromWide(text, kStringUnits);
    return true;
  }

  bool GetProductString(std::u32string& out) override {
    const Utf8Strings utf8;
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
    const Utf8Strings utf8;
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
