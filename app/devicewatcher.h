// Arrivals and removals of HID interfaces while the program runs, from the platform's
// own source: WM_DEVICECHANGE on Windows, a udev monitor on Linux, else a 500 ms poll.
#pragma once
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/hid.h"

class QWidget;

class DeviceWatcher : public QObject {
  Q_OBJECT

 public:
  // `code` is the event code UpdateDevice takes (0x8000 arrival, 0x8004 removal).
  using Sink = std::function<void(const std::string& path, uint32_t code)>;
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

  struct Impl;

 private:
  velmora::HidFunctions& hid_;
  QWidget* window_;
  Sink sink_;
  Source source_ = Source::None;
  std::unique_ptr<Impl> impl_;
};
