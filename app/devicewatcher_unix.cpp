// Linux and other systems: a udev monitor of hidraw nodes in the event loop, or, where
// udev or its daemon is not there, a poll of the enumeration that turns differences into
// events.
#include <QSocketNotifier>
#include <QTimer>

#include "device/devicelink.h"
#include "device/hotplug.h"
#include "devicewatcher.h"

struct DeviceWatcher::Impl {
  std::unique_ptr<velmora::HotplugMonitor> monitor;
  std::unique_ptr<QSocketNotifier> notifier;
  std::unique_ptr<velmora::EnumerationPoller> poller;
  std::unique_ptr<QTimer> timer;
};

DeviceWatcher::DeviceWatcher(velmora::HidFunctions& hid, QWidget* window, Sink sink,
                             QObject* parent)
    : QObject(parent),
      hid_(hid),
      window_(window),
      sink_(std::move(sink)),
      impl_(std::make_unique<Impl>()) {}

DeviceWatcher::~DeviceWatcher() = default;

DeviceWatcher::Source DeviceWatcher::Start() {
  if (source_ != Source::None) return source_;
  const auto deliver = [this](const std::vector<velmora::HotplugEvent>& events) {
    for (const velmora::HotplugEvent& e : events) sink_(e);
  };
  impl_->monitor = velmora::CreateUdevMonitor(udevControl_);
  if (impl_->monitor && impl_->monitor->Fd() >= 0) {
    impl_->notifier =
        std::make_unique<QSocketNotifier>(impl_->monitor->Fd(), QSocketNotifier::Read);
    connect(impl_->notifier.get(), &QSocketNotifier::activated, this,
            [this, deliver] { deliver(impl_->monitor->ReadEvents()); });
    source_ = Source::Udev;
    return source_;
  }
  impl_->monitor.reset();
  return StartPolling();
}

DeviceWatcher::Source DeviceWatcher::StartPolling(int intervalMs) {
  if (source_ != Source::None) return source_;
  impl_->poller = std::make_unique<velmora::EnumerationPoller>(hid_);
  // The devices present now are no arrivals: the start-up step takes them. A backend not
  // loaded yet lists nothing, and each of them would come back as a second arrival, and a
  // removal before that would go unseen.
  hid_.Load();
  impl_->poller->Poll();
  impl_->timer = std::make_unique<QTimer>();
  impl_->timer->setInterval(intervalMs);
  connect(impl_->timer.get(), &QTimer::timeout, this, [this] {
    for (const velmora::HotplugEvent& e : impl_->poller->Poll()) sink_(e);
  });
  impl_->timer->start();
  source_ = Source::Poll;
  return source_;
}
