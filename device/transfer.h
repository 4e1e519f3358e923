// The route transfer (F9): image, open, block write, outcome.
#pragma once
#include "../routes/clock.h"
#include "../routes/routerecord.h"
#include "devicehost.h"
#include "devicelock.h"
#include "devicestate.h"
#include "hid.h"
#include "routeimage.h"

namespace velmora {

struct DeviceEnv {
  HidFunctions& hid;
  DeviceContext& context;
  DeviceHost& host;
  Clock& clock;
  const DateTimeFormat& format;
};

// Between the host and the transport during a device write: records each progress
// value as BytesWritten before the window sees it, so the figure shown at the end does
// not depend on the window keeping it.
class ProgressRecorder : public DeviceHost {
 public:
  ProgressRecorder(DeviceHost& host, OperationState& operation) : host_(host), operation_(operation) {}
  void ReportProgress(int count) override;
  void PumpEvents() override { host_.PumpEvents(); }
  void PumpEventsFor(int microseconds) override { host_.PumpEventsFor(microseconds); }
  void RefreshWindowState() override { host_.RefreshWindowState(); }
  void BringToFront() override { host_.BringToFront(); }
  void SetProductCaption(const std::string& text) override { host_.SetProductCaption(text); }
  void ScheduleOpenRetry(int delayMs) override { host_.ScheduleOpenRetry(delayMs); }
  void LogMessage(const std::string& text) override { host_.LogMessage(text); }
  void AppendLogLine(const std::string& text, LogColour colour) override {
    host_.AppendLogLine(text, colour);
  }
  void SetLogColour(LogColour colour) override { host_.SetLogColour(colour); }
  void ShowStatus(int panel, const std::string& text) override { host_.ShowStatus(panel, text); }

 private:
  DeviceHost& host_;
  OperationState& operation_;
};

// Writing for the span of one WriteDeviceMemory: arrivals are still handled between its
// blocks, but nothing that waits on a device (the retry of a failed open) runs there.
class WritingScope {
 public:
  explicit WritingScope(OperationState& operation) : operation_(operation) { operation_.Writing = true; }
  ~WritingScope() { operation_.Writing = false; }
  WritingScope(const WritingScope&) = delete;
  WritingScope& operator=(const WritingScope&) = delete;

 private:
  OperationState& operation_;
};

// DeviceBusy for the span of one device operation: set with BytesWritten 0 on entry,
// cleared on every way out; the window is refreshed both times so that it disables and
// re-enables the device actions.
class BusyScope {
 public:
  BusyScope(OperationState& operation, DeviceHost& host);
  ~BusyScope();
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  OperationState& operation_;
  DeviceHost& host_;
};

// The device as one operation holds it: the node's lock and the handle, both for the whole
// operation (a removal handled between two blocks must not close the handle under it).
struct OperationDevice {
  DeviceLock lock;
  std::unique_ptr<HidDevice> handle;
  HidAttributes attributes;   // what the opened handle says it is
};

// The open step of a write of data meant for KadoVendorId/`productId`: locks the node,
// opens it without sharing, and reads the handle's own attributes, since
// a КАДО that restarted into its other identity during a wait arrives under the same path.
// kStatusOk; kStatusInUse when another program holds the node; kStatusAccessDenied when it
// does not open; kStatusWrongIdentity when it is not that identity (nothing has been sent).
int OpenForWrite(HidFunctions& hid, const std::string& path, uint16_t productId,
                 OperationDevice& out);

// The whole transfer; returns the write's status (0 only for "Загрузка окончена"),
// or kStatusNotFound when no device came, kStatusAccessDenied when it did not open,
// kStatusInUse when another device operation or program holds the device, and
// kStatusWrongIdentity when the device is no КАДО in its normal identity.
int TransmitRoutes(DeviceEnv& env, const StoredRouteList& stored, WorkBuffer& work);

}  // namespace velmora
