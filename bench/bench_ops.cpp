// Times a full route transfer and a full firmware write against the simulated КАДО with
// the real clock, and compares them with the protocol's floor: one 1 ms pause per block.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "device/Formatm.h"
#include "device/firmwarelist.h"
#include "device/firmwareupdate.h"
#include "device/routeimage.h"
#include "device/simkado.h"
#include "device/transfer.h"
#include "device/transport.h"

namespace {

using namespace velmora;
using Steady = std::chrono::steady_clock;

// A window that only keeps BytesWritten.
class QuietHost : public DeviceHost {
 public:
  explicit QuietHost(OperationState& op) : op_(op) {}
  void LogMessage(const std::string&) override {}
  void AppendLogLine(const std::string&, LogColour) override {}
  void SetLogColour(LogColour) override {}
  void ShowStatus(int, const std::string&) override {}
  void ReportProgress(int count) override { op_.BytesWritten = count; }
  void PumpEvents() override {}
  void RefreshWindowState() override {}
  void BringToFront() override {}
  void SetProductCaption(const std::string&) override {}

 private:
  OperationState& op_;
};

struct Figures {
  double bestMs = 0, medianMs = 0;
};

Figures Time(int runs, const std::function<bool()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Steady::now();
    if (!run()) {
      std::fprintf(stderr, "run %d failed\n", i + 1);
      return {};
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

// The real length of a 1 ms pause, measured at the start.
double g_pauseMs = 1.0;

void Print(const char* what, int blocks, double extraMs, const Figures& f) {
  const double floor = blocks * 1.0 + extraMs;
  // What the pauses alone cost at their measured length: the rest is the program's.
  const double paused = blocks * g_pauseMs + (extraMs > 0 ? extraMs + g_pauseMs - 1.0 : 0.0);
  std::printf("%-34s %4d blocks  floor %6.1f ms  best %6.1f ms (%.3f)  median %6.1f ms (%.3f)"
              "  pauses alone %6.1f ms (%.3f)\n",
              what, blocks, floor, f.bestMs, f.bestMs / floor, f.medianMs, f.medianMs / floor,
              paused, paused / floor);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  SystemClock clock;
  FixedDateTimeFormat format;

  // How long a 1 ms pause really takes here decides everything below.
  {
    const int n = 500;
    const auto start = Steady::now();
    for (int i = 0; i < n; ++i) clock.SleepMs(1);
    const double each = std::chrono::duration<double, std::milli>(Steady::now() - start).count() / n;
    g_pauseMs = each;
    std::printf("SystemClock::SleepMs(1) lasts %.3f ms on average (%d pauses)\n\n", each, n);
  }

  // Route transfer: 47 routes of 170 bytes fill the whole 8192-byte image.
  {
    auto stored = std::make_unique<StoredRouteList>();
    for (int i = 0; i < 256; ++i) {
      stored->records[i].SetTexts({"1234", std::string(15, 's'), std::string(15, 'f'), std::string(127, 'm')});
    }
    stored->count = 256;
    auto work = std::make_unique<WorkBuffer>();
    const RouteImageLayout layout = BuildRouteImage(*stored, *work);
    const int blocks = (layout.length + 127) / 128;

    SimKado sim;
    DeviceContext context;
    context.device.DevicePath = sim.Path();
    QuietHost host(context.operation);
    DeviceEnv env{sim, context, host, clock, format};

    Print("route image, block write only", blocks, 0, Time(runs, [&] {
            auto device = sim.Open(sim.Path(), true);
            return device && WriteDeviceMemory(*device, work->data(), work->size(), 0,
                                               layout.length - 1, host, clock) == kStatusOk;
          }));
    Print("route transfer (F9), +20 ms settle", blocks, 20, Time(runs, [&] {
            return TransmitRoutes(env, *stored, *work) == kStatusOk;
          }));
  }

  // Firmware: a 64 KiB write into the boot loader, and the update with the largest file.
  {
    SimKadoOptions options;
    options.boot = true;
    SimKado sim(options);
    DeviceContext context;
    context.device.DevicePath = sim.Path();
    QuietHost host(context.operation);
    DeviceEnv env{sim, context, host, clock, format};

    std::vector<uint8_t> image(65536);
    std::mt19937 rng(1);
    for (auto& b : image) b = static_cast<uint8_t>(rng());
    Print("64 KiB, block write only", 512, 0, Time(runs, [&] {
            auto device = sim.Open(sim.Path(), true);
            return device && WriteDeviceMemory(*device, image.data(), image.size(), 0, 65536, host,
                                               clock) == kStatusOk;
          }));

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    std::vector<uint8_t> body(image.begin(), image.begin() + kMaxFirmwareBody);
    const std::vector<uint8_t> file = EncodeFirmware(body, "bench", PackDosDateTime({2009, 10, 10, 12, 0, 0}), 2);
    {
      std::ofstream out(folder / "bench.HAS", std::ios::binary);
      out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    const FirmwareListing listing = ListFirmwareFiles({folder.u8string()}, format, 1);
    Print("firmware update (Ctrl+P), +20 ms", static_cast<int>(kMaxFirmwareBody / 128), 20,
          Time(runs, [&] { return ProgramFirmware(env, listing, listing.newestRow) == kStatusOk; }));
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  return 0;
}
