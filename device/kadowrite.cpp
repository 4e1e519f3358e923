#include "kadowrite.h"

#include <memory>
#include <string>

#include "base/cp1251.h"
#include "devicelock.h"
#include "transport.h"

namespace velmora {
namespace {

// The КАДО needs a moment after the closing report before it is asked anything else.
constexpr int kSettleMs = 20;

// DeviceBusy for the span of one device operation: set with BytesWritten 0 on entry,
// cleared on every way out; the window is refreshed both times so that it disables and
// re-enables the device actions.
class BusyScope {
 public:
  BusyScope(OperationState& operation, DeviceHost& host) : operation_(operation), host_(host) {
    operation_.DeviceBusy = true;
    operation_.BytesWritten = 0;
    host_.RefreshWindowState();
  }
  ~BusyScope() {
    operation_.DeviceBusy = false;
    host_.RefreshWindowState();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  OperationState& operation_;
  DeviceHost& host_;
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

// The device as one operation holds it: the node's lock and the handle, both for the whole
// operation (a removal handled between two blocks must not close the handle under it).
struct OperationDevice {
  DeviceLock lock;
  std::unique_ptr<HidDevice> handle;
  HidAttributes attributes;   // what the opened handle says it is
};

// Locks the node, opens it without sharing and reads the handle's own attributes: a КАДО
// that restarted into its other identity during a wait arrives under the same path.
// kStatusOk; kStatusInUse when another program holds the node; kStatusAccessDenied when it
// does not open; kStatusWrongIdentity when it is not the identity wanted.
int OpenForWrite(HidFunctions& hid, const std::string& path, bool bootLoader, OperationDevice& out) {
  if (const int locked = out.lock.Acquire(path); locked != kStatusOk) return locked;
  out.handle = hid.Open(path, true);
  if (!out.handle) return kStatusAccessDenied;
  if (!out.handle->GetAttributes(out.attributes)) out.attributes = HidAttributes{};
  const HidAttributes& a = out.attributes;
  if (!IsKado(a.vendorId, a.productId) || IsBootLoader(a.vendorId, a.productId) != bootLoader)
    return kStatusWrongIdentity;
  return kStatusOk;
}

}  // namespace

void ReportFailure(DeviceHost& host, const char* utf8) {
  host.ShowStatus(kPanelStatus, Cp(utf8));
  host.AppendLogLine("***" + Cp(utf8), kRed);
}

int WriteKado(DeviceEnv& env, const KadoWrite& write, const KadoSteps& steps) {
  OperationState& op = env.context.operation;
  DeviceHost& host = env.host;
  // One device operation at a time: the report buffer, the handle and the device are shared.
  if (op.DeviceBusy) return kStatusInUse;
  if (steps.check) {
    if (const int checked = steps.check(); checked != kStatusOk) return checked;
  }
  BusyScope busy(op, host);
  KadoBytes bytes;
  if (steps.prepare) {
    if (const int prepared = steps.prepare(bytes); prepared != kStatusOk) return prepared;
  }

  OperationDevice opened;
  const std::string& path = env.context.device.DevicePath;
  const int open = path.empty() || bytes.image == nullptr
                       ? kStatusAccessDenied
                       : OpenForWrite(env.hid, path, write.bootLoader, opened);
  if (open == kStatusAccessDenied) {
    host.ShowStatus(kPanelStatus, Cp("КАДО не открыто"));
    return open;
  }
  if (open == kStatusWrongIdentity) {
    const HidAttributes& a = opened.attributes;
    host.ShowStatus(kPanelStatus, Cp(write.wrongIdentity));
    host.AppendLogLine(
        Cp(IsKado(a.vendorId, a.productId) ? write.otherIdentityLine : write.notKadoLine), kRed);
    return open;
  }
  if (open != kStatusOk) {
    LogParamReadFailure(host, open);
    ReportFailure(host, write.failed);
    return open;
  }

  host.ShowStatus(write.startPanel, Cp(write.startText));
  op.TransferStartMs = env.clock.MonotonicMs();
  host.StartProgress(bytes.end);
  int status;
  {
    WritingScope writing(op);
    status = WriteDeviceMemory(*opened.handle, bytes.image, bytes.size, 0, bytes.end, host,
                               env.clock, &op.BytesWritten);
  }
  if (status == kStatusOk) {
    env.clock.SleepMs(kSettleMs);
    host.ShowStatus(kPanelStatus, Cp(write.done));
    if (write.countsTransfers) {
      ++op.TransferCount;
      host.ShowStatus(kPanelTransfers, Cp("Загружено: ") + std::to_string(op.TransferCount));
    }
  } else {
    ReportFailure(host, write.failed);
  }

  opened.handle.reset();
  opened.lock.Release();
  host.ShowStatus(kPanelProgress, FormatElapsed(env.clock.MonotonicMs() - op.TransferStartMs) +
                                      "=" + std::to_string(op.BytesWritten));
  host.StopProgress();
  return status;
}

}  // namespace velmora
