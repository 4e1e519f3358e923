#include "transfer.h"

#include "base/cp1251.h"
#include "transport.h"

namespace velmora {
namespace {

constexpr int kDeviceWaitPauses = 100;
constexpr int kDeviceWaitPauseMs = 40;

// Into the normal identity, "0" in panel 0 as the write begins, a success counted.
const KadoWrite kRouteWrite{false, true, kPanelProgress, "0", "Загрузка окончена",
                            "Ошибка записи данных", "КАДО не подключен",
                            "***КАДО в режиме загрузчика: маршруты не записаны",
                            "***Устройство не является КАДО"};

}  // namespace

int TransmitRoutes(DeviceEnv& env, const StoredRouteList& stored, WorkBuffer& work) {
  const DeviceState& device = env.context.device;
  DeviceHost& host = env.host;
  KadoSteps steps;
  steps.prepare = [&](KadoBytes& bytes) {
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
    // The end is the image's length, not its last byte: for a BlockSize of 1 an end of
    // L - 1 is already aligned and the image's last byte would never be sent. For every
    // other power of two up to 128 both ends align to the same block boundary.
    bytes = KadoBytes{work.data(), work.size(), layout.length};
    return kStatusOk;
  };
  return WriteKado(env, kRouteWrite, steps);
}

}  // namespace velmora
