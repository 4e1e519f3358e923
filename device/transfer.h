// The route transfer (F9): image, open, block write, outcome.
#pragma once
#include "../routes/clock.h"
#include "../routes/routerecord.h"
#include "devicehost.h"
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
  void RefreshWindowState() override { host_.RefreshWindowState(); }
  void BringToFront() override { host_.BringToFront(); }
  void SetProductCaption(const std::string& text) override { host_.SetProductCaption(text); }
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

// The whole transfer; returns the write's status (0 only for "Загрузка окончена"),
// or kStatusNotFound when no device came, kStatusAccessDenied when it did not open,
// and kStatusInUse when another device operation runs.
int TransmitRoutes(DeviceEnv& env, const StoredRouteList& stored, WorkBuffer& work);

}  // namespace velmora
