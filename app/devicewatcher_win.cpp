// Windows: device-interface notifications of the HID class, delivered to the main
// window as WM_DEVICECHANGE and picked out of the event loop by a native filter.
#include <windows.h>
// dbt.h needs the types of windows.h.
#include <dbt.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>
#include <cstddef>
#include <string>

#include "application.h"
#include "device/devicelink.h"
#include "devicewatcher.h"

namespace {
// GUID_DEVINTERFACE_HID {4D1E55B2-F16F-11CF-88CB-001111000030}
const GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// The longest path Windows has, in UTF-16 units.
constexpr std::size_t kMaxPathUnits = 32767;

// The name runs to the end of the record: it is bounded by the record's own size and ends
// at its first zero unit. The HID backend opens paths as SetupAPI's 8-bit functions give
// them (CreateFileA), so the name is taken into the same code page; interface paths are
// ASCII, and one that does not convert is empty and opens nothing.
std::string NoticePath(const DEV_BROADCAST_DEVICEINTERFACE_W& notice) {
  const std::size_t offset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  if (notice.dbcc_size <= offset) return std::string();
  const std::size_t room = std::min<std::size_t>((notice.dbcc_size - offset) / sizeof(wchar_t),
                                                 kMaxPathUnits);
  const wchar_t* name = notice.dbcc_name;
  std::size_t units = 0;
  while (units < room && name[units] != L'\0') ++units;
  if (units == 0) return std::string();
  const int length = static_cast<int>(units);
  const int bytes = WideCharToMultiByte(CP_ACP, 0, name, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string path(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, name, length, path.data(), bytes, nullptr, nullptr) != bytes)
    return std::string();
  return path;
}

}  // namespace

struct DeviceWatcher::Impl : public QAbstractNativeEventFilter {
  DeviceWatcher* owner = nullptr;
  HWND window = nullptr;
  HDEVNOTIFY registration = nullptr;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (!msg || msg->message != WM_DEVICECHANGE || msg->hwnd != window) return false;
    OnMyDeviceChange(msg->wParam, msg->lParam);
    return false;
  }

  void OnMyDeviceChange(WPARAM wParam, LPARAM lParam) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
    // A Qt window is a Unicode window: the system hands it the UTF-16 form of the notice,
    // whatever form the registration took.
    const auto* notice = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    const std::string path = NoticePath(*notice);
    velmora::HotplugEvent event{path, wParam == DBT_DEVICEARRIVAL};
    // The interface path names the IDs: a keyboard or a mouse is not opened to learn them.
    velmora::IdsFromInterfacePath(path, event.vendorId, event.productId);
    owner->sink_(event);
  }
};

DeviceWatcher::DeviceWatcher(velmora::HidFunctions& hid, QWidget* window, Sink sink,
                             QObject* parent)
    : QObject(parent),
      hid_(hid),
      window_(window),
      sink_(std::move(sink)),
      impl_(std::make_unique<Impl>()) {
  impl_->owner = this;
}

DeviceWatcher::~DeviceWatcher() {
  if (impl_->registration) UnregisterDeviceNotification(impl_->registration);
  if (source_ == Source::Notifications)
    QCoreApplication::instance()->removeNativeEventFilter(impl_.get());
}

// Windows always has its notifications.
DeviceWatcher::Source DeviceWatcher::StartPolling(int) { return Start(); }

DeviceWatcher::Source DeviceWatcher::Start() {
  if (source_ != Source::None) return source_;
  impl_->window = reinterpret_cast<HWND>(window_->winId());
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_reserved = 0;
  filter.dbcc_classguid = kHidInterfaceGuid;
  impl_->registration =
      RegisterDeviceNotificationW(impl_->window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (!impl_->registration) {
    const DWORD error = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
                   nullptr);
    QMessageBox::critical(window_, VelmoraApplication::kTitle,
                          QString::fromLocal8Bit(text ? text : ""));
    if (text) LocalFree(text);
    return source_;
  }
  QCoreApplication::instance()->installNativeEventFilter(impl_.get());
  source_ = Source::Notifications;
  return source_;
}
