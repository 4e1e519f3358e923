#include "devicelink.h"

#include <cstdio>

#include "base/cp1251.h"
#include "transport.h"

namespace velmora {

namespace {

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  return text;
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

DeviceLink::DeviceLink(HidFunctions& hid, DeviceContext& context, DeviceHost& host)
    : hid_(hid), context_(context), host_(host) {}

int DeviceLink::FindHidDevice(std::unique_ptr<HidDevice>& handle, uint16_t vendorId,
                              uint16_t productId, std::string* noticePath) {
  for (const HidDeviceInfo& info : hid_.Enumerate()) {
    // The enumeration tells the IDs: other interfaces (keyboards, mice) are not opened.
    const bool idsKnown = info.vendorId != 0 || info.productId != 0;
    if (idsKnown && (info.vendorId != vendorId || info.productId != productId)) continue;
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
    // The handle the search opened is closed once the arrival has been processed.
    std::unique_ptr<HidDevice> found;
    std::string path;
    int status = FindHidDevice(found, KadoVendorId, KadoProductId, &path);
    if (status == kStatusNotFound)
      status = FindHidDevice(found, KadoVendorId, KadoBootProductId, &path);
    if (status == kStatusOk) UpdateDevice(path, kDbtDeviceArrival, kDbtDevtypDeviceInterface);
  }
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

void DeviceLink::UpdateDevice(const std::string& path, uint32_t eventCode, uint32_t deviceType) {
  UpdateDevice(HotplugEvent{path, eventCode == kDbtDeviceArrival}, deviceType);
}

void DeviceLink::UpdateDevice(const HotplugEvent& event, uint32_t deviceType) {
  DeviceState& state = context_.device;
  if (!context_.operation.DeviceBusy) host_.BringToFront();
  // A parameter read that fails during an arrival logs its line in blue as well.
  host_.SetLogColour(kBlue);

  if (event.arrival) {
    Arrival(event, deviceType);
  } else {
    if (SamePath(event.path, pending_.path)) pending_ = PendingOpen{};
    host_.AppendLogLine("T=" + std::to_string(deviceType) + "  rem--" + event.path, kRed);
    if (!state.DevicePath.empty() && SamePath(event.path, state.DevicePath)) {
      state.DevicePath.clear();
      state.DeviceAttributes = HidAttributes{};
      host_.SetProductCaption(std::string());
    }
  }

  if (state.DeviceLinkStarted) host_.RefreshWindowState();
}

void DeviceLink::Arrival(const HotplugEvent& event, uint32_t deviceType) {
  const std::string head = "T=" + std::to_string(deviceType) + " add++" + event.path;
  if (event.IdsKnown() && !IsKado(event.vendorId, event.productId)) {
    // Opening a keyboard or a mouse is refused by Windows and by root-only nodes, and
    // every refusal would be retried: the IDs the event carries are enough.
    host_.AppendLogLine(head + " VID=" + Hex4(event.vendorId) + " PID=" + Hex4(event.productId),
                        kBlue);
    return;
  }
  // Without the HID library nothing can be opened.
  std::unique_ptr<HidDevice> device = EnsureLoaded() ? hid_.Open(event.path, false) : nullptr;
  if (device) {
    if (SamePath(event.path, pending_.path)) pending_ = PendingOpen{};
    TakeArrival(event.path, deviceType, std::move(device));
  } else if (event.IdsKnown() && loaded_) {
    // A node can be announced before udev has set its permissions: the host's timer
    // brings the next attempt, and the arrival line waits for its outcome.
    pending_ = PendingOpen{event.path, deviceType, 1};
    host_.ScheduleOpenRetry(kOpenRetryMs);
  } else {
    host_.AppendLogLine(head + Cp(" -Не открыли"), kBlue);
  }
}

void DeviceLink::RetryOpen() {
  if (!RetryPending()) return;
  // Never between two blocks of a write: the write's pauses are its timing.
  if (context_.operation.Writing) {
    host_.ScheduleOpenRetry(kOpenRetryMs);
    return;
  }
  std::unique_ptr<HidDevice> device = hid_.Open(pending_.path, false);
  if (!device && ++pending_.attempts < kOpenAttempts) {
    host_.ScheduleOpenRetry(kOpenRetryMs);
    return;
  }
  const PendingOpen done = pending_;
  pending_ = PendingOpen{};
  host_.SetLogColour(kBlue);
  if (device) {
    TakeArrival(done.path, done.deviceType, std::move(device));
  } else {
    host_.AppendLogLine("T=" + std::to_string(done.deviceType) + " add++" + done.path +
                            Cp(" -Не открыли"),
                        kBlue);
  }
  if (context_.device.DeviceLinkStarted) host_.RefreshWindowState();
}

void DeviceLink::TakeArrival(const std::string& path, uint32_t deviceType,
                             std::unique_ptr<HidDevice> device) {
  DeviceState& state = context_.device;
  std::string line = "T=" + std::to_string(deviceType) + " add++" + path + Cp(" -Открыли");
  HidAttributes attributes;
  if (!device->GetAttributes(attributes)) attributes = HidAttributes{};
  line += " VID=" + Hex4(attributes.vendorId) + " PID=" + Hex4(attributes.productId);
  const bool kado = IsKado(attributes.vendorId, attributes.productId);

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

}  // namespace velmora
