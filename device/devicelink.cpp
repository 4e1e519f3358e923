#include "devicelink.h"

#include <cstdio>

#include "../routes/cp1251.h"
#include "transport.h"

namespace velmora {

namespace {

// A node can be announced before udev has set its permissions.
constexpr int kOpenAttempts = 5;
constexpr int kOpenRetryMs = 50;

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  return text;
}

bool IsKado(const HidAttributes& a) {
  return a.vendorId == KadoVendorId &&
         (a.productId == KadoProductId || a.productId == KadoBootProductId);
}

// Windows hands out the same interface path in different letter cases in SetupAPI
// and in device notifications.
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

DeviceLink::DeviceLink(HidFunctions& hid, DeviceContext& context, DeviceHost& host, Clock& clock)
    : hid_(hid), context_(context), host_(host), clock_(clock) {}

int DeviceLink::FindHidDevice(std::unique_ptr<HidDevice>& handle, uint16_t vendorId,
                              uint16_t productId, std::string* noticePath) {
  for (const HidDeviceInfo& info : hid_.Enumerate()) {
    if (noticePath) *noticePath = info.path;
    std::unique_ptr<HidDevice> device = hid_.Open(info.path, false);
    if (!device) continue;
    HidAttributes attributes;
    if (device->GetAttributes(attributes) && attributes.vendorId == vendorId &&
        attributes.productId == productId) {
      handle = std::move(device);
      return kStatusOk;
    }
  }
  return kStatusNotFound;
}

void DeviceLink::FormActivate() {
  DeviceState& state = context_.device;
  if (state.DeviceLinkStarted) return;
  if (EnsureLoaded()) {
    std::string path;
    int status = FindHidDevice(state.DeviceHandle, KadoVendorId, KadoProductId, &path);
    if (status == kStatusNotFound)
      status = FindHidDevice(state.DeviceHandle, KadoVendorId, KadoBootProductId, &path);
    if (status == kStatusOk) UpdateDevice(path, kDbtDeviceArrival, kDbtDevtypDeviceInterface);
  }
  state.DeviceHandle.reset();
  state.DeviceLinkStarted = true;
  host_.RefreshWindowState();
}

bool DeviceLink::EnsureLoaded() {
  if (!loadTried_) {
    loadTried_ = true;
    loaded_ = hid_.Load();
  }
  return loaded_;
}

std::unique_ptr<HidDevice> DeviceLink::OpenArrival(const std::string& path) {
  // Without the HID library nothing can be opened.
  if (!EnsureLoaded()) return nullptr;
  for (int attempt = 1;; ++attempt) {
    std::unique_ptr<HidDevice> device = hid_.Open(path, false);
    if (device || attempt == kOpenAttempts) return device;
    clock_.SleepMs(kOpenRetryMs);
  }
}

void DeviceLink::UpdateDevice(const std::string& path, uint32_t eventCode, uint32_t deviceType) {
  DeviceState& state = context_.device;
  if (!context_.operation.DeviceBusy) host_.BringToFront();
  // A parameter read that fails during an arrival logs its line in blue as well.
  host_.SetLogColour(kBlue);

  const std::string type = std::to_string(deviceType);
  if (eventCode == kDbtDeviceArrival) {
    std::string line = "T=" + type + " add++" + path;
    std::unique_ptr<HidDevice> device = OpenArrival(path);
    if (!device) {
      line += Cp(" -Не открыли");
      host_.AppendLogLine(line, kBlue);
    } else {
      line += Cp(" -Открыли");
      HidAttributes attributes;
      if (!device->GetAttributes(attributes)) attributes = HidAttributes{};
      line += " VID=" + Hex4(attributes.vendorId) + " PID=" + Hex4(attributes.productId);
      const bool kado = IsKado(attributes);

      std::u32string text;
      std::string vendorName, productName;
      const bool haveVendor = device->GetManufacturerString(text);
      if (haveVendor) {
        vendorName = cp1251::Encode(text);
        line += " vName=" + vendorName;
      }
      text.clear();
      const bool haveProduct = device->GetProductString(text);
      if (haveProduct) {
        productName = cp1251::Encode(text);
        line += " pName=" + productName;
      }
      // Only the КАДО is asked for its parameter report; other devices do not know it.
      std::optional<ParamReply> reply;
      if (kado) reply = ReadDeviceParams(*device, host_);
      device.reset();
      host_.AppendLogLine(line, kBlue);

      // Other HID devices (a mouse, a keyboard) must not replace an attached КАДО.
      if (kado) {
        state.DevicePath = path;
        state.DeviceAttributes = attributes;
        if (haveVendor) state.VendorName = vendorName;
        if (haveProduct) state.ProductName = productName;
        std::string caption = haveProduct ? productName : std::string();
        // Bytes 5 and 6 are only there when the reply was long enough.
        if (reply && reply->length >= 7) caption += VersionText(reply->bytes.data());
        host_.SetProductCaption(caption);
      }
    }
  } else {
    host_.AppendLogLine("T=" + type + "  rem--" + path, kRed);
    if (!state.DevicePath.empty() && SamePath(path, state.DevicePath)) {
      state.DevicePath.clear();
      state.DeviceAttributes = HidAttributes{};
      host_.SetProductCaption(std::string());
    }
  }

  if (state.DeviceLinkStarted) host_.RefreshWindowState();
}

}  // namespace velmora
