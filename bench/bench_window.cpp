// Drives the real window offscreen: F9 with a full 8192-byte route image and Ctrl+P with a
// 64 KiB firmware file, sent as keys the way the operator presses them, against the
// simulated КАДО; the bare block write of the same images in the same run for comparison.
// The floor is one 1 ms pause per block (plus the 20 ms settle of both operations).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Sub.h"
#include "base/cp1251.h"
#include "benchfigures.h"
#include "device/Formatm.h"
#include "device/routeimage.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "mainwindow.h"
#include "routemodel.h"
#include "statusbars.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

std::unique_ptr<TVelmoraF> MakeWindow(SimKado*& sim, bool boot, const QString& firmware) {
  SimKadoOptions so;
  so.boot = boot;
  auto owned = std::make_unique<SimKado>(so);
  sim = owned.get();
  WindowOptions o;
  o.hid = std::move(owned);
  o.sim = sim;
  o.settings = velmora::CreateMemorySettingsBackend();
  o.watchDevices = false;
  o.firmwareFolders = {firmware.toStdString()};
  auto w = std::make_unique<TVelmoraF>(std::move(o));
  w->FormActivate();
  return w;
}

void ShowActive(TVelmoraF& w) {
  w.show();
  QApplication::setActiveWindow(&w);
  if (!QTest::qWaitForWindowActive(&w)) std::fprintf(stderr, "the window is not active\n");
}

// One key press on the window; true when panel 2 then shows `done`.
bool Press(TVelmoraF& w, SimKado& sim, Qt::Key key, Qt::KeyboardModifiers mods, const char* done) {
  sim.ClearReports();
  QTest::keyClick(&w, key, mods);
  return w.Bars()->Panel(kPanelStatus) == RouteModel::FromCp(Cp(done));
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  SystemClock clock;
  const double pauseMs = MeasurePauseMs(clock);

  auto stored = FullRouteList();
  auto work = std::make_unique<WorkBuffer>();
  const RouteImageLayout layout = BuildRouteImage(*stored, *work);
  const int routeBlocks = (layout.length + 127) / 128;

  // The largest firmware file the update reads: 64 KiB with its header block.
  const std::vector<uint8_t> body = LargestFirmwareBody();
  const std::vector<uint8_t> file =
      EncodeFirmware(body, "bench", PackDosDateTime({2009, 10, 10, 12, 0, 0, 0}), 2);
  QTemporaryDir folder;
  {
    std::ofstream out(QDir(folder.path()).filePath(QStringLiteral("bench.HAS")).toStdString(),
                      std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  const int firmwareBlocks = static_cast<int>(kMaxFirmwareBody / 128);
  std::printf("image %d bytes (%d blocks), firmware file %zu bytes (%d blocks), %d runs each\n\n",
              layout.length, routeBlocks, file.size(), firmwareBlocks, runs);

  // The bare block write of both images, with a host that lets nothing run.
  {
    SimKadoOptions so;
    so.boot = true;
    SimKado sim(so);
    QuietHost host;
    auto bare = [&](const uint8_t* image, std::size_t size, int end) {
      return Time(runs, [&] {
        sim.ClearReports();
        auto device = sim.Open(sim.Path(), true);
        return device && WriteDeviceMemory(*device, image, size, 0, end, host, clock) == kStatusOk;
      });
    };
    Print("8192-byte image, block write only", routeBlocks, 0,
          bare(work->data(), work->size(), layout.length), pauseMs);
    Print("64 KiB firmware, block write only", firmwareBlocks, 0,
          bare(body.data(), body.size(), static_cast<int>(body.size())), pauseMs);
  }

  // F9 in the window.
  {
    SimKado* sim = nullptr;
    std::unique_ptr<TVelmoraF> w = MakeWindow(sim, false, folder.path() + QStringLiteral("/none"));
    w->Table().Stored() = *stored;
    w->Table().LoadGridFromStored();
    w->Table().SetModified(false);
    w->RefreshWindowState();
    ShowActive(*w);
    Print("window F9, +20 ms settle", routeBlocks, 20,
          Time(runs, [&] { return Press(*w, *sim, Qt::Key_F9, Qt::NoModifier, "Загрузка окончена"); }),
          pauseMs);
  }

  // Ctrl+P in the window's firmware panel.
  {
    SimKado* sim = nullptr;
    std::unique_ptr<TVelmoraF> w = MakeWindow(sim, true, folder.path());
    ShowActive(*w);
    Print("window Ctrl+P, +20 ms settle", firmwareBlocks, 20,
          Time(runs, [&] {
            return Press(*w, *sim, Qt::Key_P, Qt::ControlModifier, "Программа записана");
          }),
          pauseMs);
  }
  return 0;
}
