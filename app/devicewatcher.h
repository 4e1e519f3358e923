// Arrivals and removals of HID interfaces while the program runs, from the platform's
// own source: WM_DEVICECHANGE on Windows, a udev monitor on Linux where the udev daemon
// runs, else a 500 ms poll of the enumeration.
#pragma once
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/hid.h"
#include "device/hotplug.h"

class QWidget;

class DeviceWatcher : public QObject {
  Q_OBJECT

 public:
  // One arrival or removal, with the IDs where the source tells them.
  using Sink = std::function<void(const velmora::HotplugEvent& event)>;
  enum class Source { None, Notifications, Udev, Poll };

  DeviceWatcher(velmora::HidFunctions& hid, QWidget* window, Sink sink, QObject* parent = nullptr);
  ~DeviceWatcher() override;

  // Registers with the platform's source; on Windows a failed registration shows the
  // system's error text and the program goes on without events.
  Source Start();
  // The enumeration poll alone, where udev is there too (tests, and a system whose udev
  // sends no events).
  Source StartPolling(int intervalMs = 500);
  Source ActiveSource() const { return source_; }
  // The udev daemon's control socket that Start() looks for (Linux); for the tests.
  void SetUdevControlSocket(std::string path) { udevControl_ = std::move(path); }

  struct Impl;

 private:
  velmora::HidFunctions& hid_;
  QWidget* window_;
  Sink sink_;
  Source source_ = Source::None;
  std::string udevControl_ = velmora::kUdevControlSocket;
  std::unique_ptr<Impl> impl_;
};
