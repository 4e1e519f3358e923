#include "transfer.h"

#include <memory>
#include <optional>
#include <string>

#include "../routes/cp1251.h"
#include "transport.h"

namespace velmora {
namespace {

constexpr int kDeviceWaitPauses = 100;
constexpr int kDeviceWaitPauseMs = 40;
constexpr int kSettleMs = 20;

}  // namespace

void ProgressRecorder::ReportProgress(int count) {
  operation_.BytesWritten = count;
  host_.ReportProgress(count);
}

BusyScope::BusyScope(OperationState& operation, DeviceHost& host)
    : operation_(operation), host_(host) {
  operation_.DeviceBusy = true;
  operation_.BytesWritten = 0;
  host_.RefreshWindowState();
}

BusyScope::~BusyScope() {
  operation_.DeviceBusy = false;
  host_.RefreshWindowState();
}

int OpenForWrite(HidFunctions& hid, const std::string& path, uint16_t productId,
                 OperationDevice& out) {
  if (const int locked = out.lock.Acquire(path); locked != kStatusOk) return locked;
  out.handle = hid.Open(path, true);
  if (!out.handle) return kStatusAccessDenied;
  out.attributes = HidAttributes{};
  if (!out.handle->GetAttributes(out.attributes)) out.attributes = HidAttributes{};
  if (out.attributes.vendorId != KadoVendorId || out.attributes.productId != productId)
    return kStatusWrongIdentity;
  return kStatusOk;
}

int TransmitRoutes(DeviceEnv& env, const StoredRouteList& stored, WorkBuffer& work) {
  OperationState& op = env.context.operation;
  DeviceState& device = env.context.device;
  DeviceHost& host = env.host;
  // One device operation at a time: the work buffer, the handle and the device are shared.
  if (op.DeviceBusy) return kStatusInUse;
  BusyScope busy(op, host);

  // A КАДО plugged in just now may still be on its way through the device events.
  for (int i = 0; i < kDeviceWaitPauses && device.DevicePath.empty(); ++i) {
    env.clock.SleepMs(kDeviceWaitPauseMs);
    host.PumpEvents();
  }
  if (device.DevicePath.empty()) {
    host.ShowStatus(kPanelStatus, Cp("КАДО не подключен"));
    return kStatusNotFound;
  }

  host.ShowStatus(kPanelStatus, Cp("Загружаем"));
  const RouteImageLayout layout = BuildRouteImage(stored, work);
  ReportRoutesLeftOut(layout, stored, host);

  OperationDevice opened;
  const int open = OpenForWrite(env.hid, device.DevicePath, KadoProductId, opened);
  if (open == kStatusAccessDenied) {
    host.ShowStatus(kPanelStatus, Cp("КАДО не открыто"));
    return open;
  }
  if (open == kStatusWrongIdentity) {
    const bool boot = IsBootLoader(opened.attributes.vendorId, opened.attributes.productId);
    host.ShowStatus(kPanelStatus, Cp("КАДО не подключен"));
    host.AppendLogLine(Cp(boot ? "***КАДО в режиме загрузчика: маршруты не записаны"
                               : "***Устройство не является КАДО"),
                       kRed);
    return open;
  }
  if (open != kStatusOk) {
    LogParamReadFailure(host, open);
    host.ShowStatus(kPanelStatus, Cp("Ошибка записи данных"));
    host.AppendLogLine(Cp("***Ошибка записи данных"), kRed);
    return open;
  }
  HidDevice* handle = opened.handle.get();

  host.ShowStatus(kPanelProgress, "0");
  op.TransferStartMs = env.clock.MonotonicMs();
  ProgressRecorder progress(host, op);
  std::optional<WritingScope> writing(op);
  // The end is the image's length, not its last byte: for a BlockSize of 1 an end of
  // L - 1 is already aligned and the image's last byte would never be sent. For every
  // other power of two up to 128 both ends align to the same block boundary.
  const int status = WriteDeviceMemory(*handle, work.data(), work.size(), 0, layout.length,
                                       progress, env.clock);
  writing.reset();
  if (status == kStatusOk) {
    env.clock.SleepMs(kSettleMs);
    ++op.TransferCount;
    host.ShowStatus(kPanelStatus, Cp("Загрузка окончена"));
    host.ShowStatus(kPanelTransfers, Cp("Загружено: ") + std::to_string(op.TransferCount));
  } else {
    host.ShowStatus(kPanelStatus, Cp("Ошибка записи данных"));
    host.AppendLogLine(Cp("***Ошибка записи данных"), kRed);
  }

  opened.handle.reset();
  opened.lock.Release();
  host.ShowStatus(kPanelProgress,
                  FormatElapsed(env.clock.MonotonicMs() - op.TransferStartMs) + "=" +
                      std::to_string(op.BytesWritten));
  return status;
}

}  // namespace velmora
