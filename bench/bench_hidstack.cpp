// Times the route transfer (F9) and the firmware update (Ctrl+P) through the system's HID
// backend (hidapi, hidraw) against the virtual КАДО, beside the same operations against the
// simulated КАДО and the protocol's floor of one 1 ms pause per block. Run it inside
// scripts/hidstack.sh: `scripts/hidstack.sh -- build/dev/bench/bench_hidstack [RUNS]`.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "benchfigures.h"
#include "device/Formatm.h"
#include "device/firmwarelist.h"
#include "device/firmwareupdate.h"
#include "device/routeimage.h"
#include "device/simkado.h"
#include "device/transfer.h"
#include "device/transport.h"
#include "tests/hidstack/hidstack_control.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

// One backend's figures: the bare block write and the whole operation.
struct Backend {
  const char* name;
  HidFunctions& hid;
  std::string path;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::optional<hidstack::VirtualKado> kado = hidstack::VirtualKado::FromEnvironment();
  if (!kado || kado->Node().empty()) {
    std::puts("bench_hidstack: run it inside scripts/hidstack.sh");
    return 77;
  }
  SystemClock clock;
  FixedDateTimeFormat format;
  QuietHost host;
  const double pauseMs = MeasurePauseMs(clock);

  std::unique_ptr<HidFunctions> system = CreateSystemHidFunctions();
  if (!system->Load()) {
    std::puts("bench_hidstack: the system's HID backend does not load");
    return 1;
  }
  SimKadoOptions bootOptions;
  bootOptions.boot = true;
  SimKado sim, simBoot(bootOptions);

  auto stored = FullRouteList();
  auto work = std::make_unique<WorkBuffer>();
  const RouteImageLayout layout = BuildRouteImage(*stored, *work);
  const int routeBlocks = (layout.length + 127) / 128;
  const std::vector<uint8_t> body = LargestFirmwareBody();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  {
    const std::vector<uint8_t> file = EncodeFirmware(body, "bench", PackDosDateTime({2009, 10, 10, 12, 0, 0}), 2);
    std::ofstream out(folder / "bench.HAS", std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  const FirmwareListing listing = ListFirmwareFiles({folder.u8string()}, format, 1);
  const int firmwareBlocks = static_cast<int>(kMaxFirmwareBody / 128);

  auto blockWrite = [&](HidFunctions& hid, const std::string& path, const uint8_t* image,
                        std::size_t size, int end) {
    return Time(runs, [&] {
      auto device = hid.Open(path, true);
      return device && WriteDeviceMemory(*device, image, size, 0, end, host, clock) == kStatusOk;
    });
  };
  auto line = [](const char* what, const char* backend) { return std::string(what) + ", " + backend; };

  // The route transfer into the normal identity.
  if (!kado->Command("normal") || !kado->Command("plug")) return 1;
  for (const Backend& b : {Backend{"simulated", sim, sim.Path()}, Backend{"hidraw", *system, kado->Node()}}) {
    DeviceContext context;
    context.device.DevicePath = b.path;
    DeviceEnv env{b.hid, context, host, clock, format};
    Print(line("8192-byte image, block write", b.name).c_str(), routeBlocks, 0,
          blockWrite(b.hid, b.path, work->data(), work->size(), layout.length), pauseMs);
    Print(line("route transfer (F9)", b.name).c_str(), routeBlocks, 20,
          Time(runs, [&] { return TransmitRoutes(env, *stored, *work) == kStatusOk; }), pauseMs);
  }

  // The firmware update into the boot loader.
  if (!kado->Command("boot")) return 1;
  for (const Backend& b : {Backend{"simulated", simBoot, simBoot.Path()}, Backend{"hidraw", *system, kado->Node()}}) {
    DeviceContext context;
    context.device.DevicePath = b.path;
    DeviceEnv env{b.hid, context, host, clock, format};
    Print(line("65024-byte firmware, block write", b.name).c_str(), firmwareBlocks, 0,
          blockWrite(b.hid, b.path, body.data(), body.size(), static_cast<int>(body.size())), pauseMs);
    Print(line("firmware update (Ctrl+P)", b.name).c_str(), firmwareBlocks, 20,
          Time(runs, [&] { return ProgramFirmware(env, listing, listing.newestRow) == kStatusOk; }),
          pauseMs);
  }
  kado->Command("normal");
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
