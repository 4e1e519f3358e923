// What the device link and the device operations need from the main window.
#pragma once
#include <string>

#include "base/messagesink.h"

namespace velmora {

// Virtual: the main window is both hosts and has one message sink.
class DeviceHost : public virtual MessageSink {
 public:
  // A device write of the bytes up to `end` begins: the range of the progress shown.
  virtual void StartProgress(int end) { (void)end; }
  // Shows the elapsed time and the offset reached in panel 0 (a window may show it less
  // often than it is called).
  virtual void ReportProgress(int count) = 0;
  // The device write has ended, whatever its outcome.
  virtual void StopProgress() {}
  // Lets pending window messages run (the wait for a device).
  virtual void PumpEvents() = 0;
  // Lets pending window messages (device events, repaint, user input) run for at most
  // about `microseconds`: the pause after each block of a write. A host without
  // messages returns at once.
  virtual void PumpEventsFor(int microseconds) { (void)microseconds; }
  virtual void RefreshWindowState() = 0;
  virtual void BringToFront() = 0;
  virtual void SetProductCaption(const std::string& text) = 0;   // lbProd, CP1251
  // Asks for DeviceLink::RetryOpen after `delayMs`, from the host's own timer: the device
  // link never sleeps waiting for a node's permissions. A host without timers may ignore it.
  virtual void ScheduleOpenRetry(int delayMs) { (void)delayMs; }
};

}  // namespace velmora
