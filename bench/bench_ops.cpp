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
#include "routes/routetable.h"
#include "benchfigures.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

double g_pauseMs = 1.0;

void Print(const char* what, int blocks, double extraMs, const Figures& f) {
  bench::Print(what, blocks, extraMs, f, g_pauseMs);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  SystemClock clock;
  FixedDateTimeFormat format;

  g_pauseMs = MeasurePauseMs(clock);

  // The memory gauge after an edit: the grid copied as a save would store it and measured
  // by the transfer's capacity rule; 256 routes filled to their fields' capacity.
  {
    RouteTable table;
    StoredRouteList& full = table.Stored();
    for (int i = 0; i < kStoredRoutes; ++i) {
      full.records[i].SetTexts({"1234", std::string(kFieldCapacity[kStartStop], 's'),
                                std::string(kFieldCapacity[kFinalStop], 'f'),
                                std::string(kFieldCapacity[kMessage], 'm')});
    }
    full.count = kStoredRoutes;
    table.LoadGridFromStored();
    auto scratch = std::make_unique<StoredRouteList>();
    auto work = std::make_unique<WorkBuffer>();
    auto perCallUs = [](int calls, const std::function<void()>& call) {
      std::vector<double> us;
      for (int i = 0; i < calls; ++i) {
        const auto start = Steady::now();
        call();
        us.push_back(MsSince(start) * 1000.0);
      }
      std::sort(us.begin(), us.end());
      return std::make_pair(us[us.size() / 2], us[us.size() * 99 / 100]);
    };
    RouteImageLayout layout;
    const auto gauge = perCallUs(2000, [&] {
      table.CopyGridTo(*scratch);
      layout = MeasureRouteImage(*scratch);
    });
    const auto build = perCallUs(2000, [&] { BuildRouteImage(*scratch, *work); });
    std::printf("memory gauge, 256 full routes (%d fit, %d of 8192 bytes wanted): median %.1f us,"
                " 99th percentile %.1f us (goal under 1000 us)\n",
                layout.routes, layout.wanted, gauge.first, gauge.second);
    std::printf("route image build, same list: median %.1f us, 99th percentile %.1f us\n\n",
                build.first, build.second);
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
    QuietHost host;
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
    QuietHost host;
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
