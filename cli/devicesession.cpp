#include "devicesession.h"

#include <cstdio>

#include "base/cp1251.h"

namespace velmora::cli {
namespace {

HidFunctions& ChooseBackend(const DeviceOptions& options, std::unique_ptr<SimKado>& sim,
                            std::unique_ptr<HidFunctions>& system) {
  if (options.simulate) {
    sim = std::make_unique<SimKado>(options.sim);
    return *sim;
  }
  system = CreateSystemHidFunctions();
  return *system;
}

}  // namespace

const std::string kDeviceOptionsHelp =
    SimulateOptionUsage("use a simulated КАДО instead of the attached device") +
    "  --device-memory OUT   with --simulate: write the simulated device's whole memory\n"
    "  --report-log OUT      with --simulate: write every feature report exchanged, one\n"
    "                        per line: get or set, a blank, the bytes in hex\n";

std::vector<OptionSpec> DeviceOptionSpecs() {
  return {{"--simulate", "", OptionSpec::OptionalValue},
          {"--device-memory", "", OptionSpec::Value},
          {"--report-log", "", OptionSpec::Value}};
}

int ReadDeviceOptions(const ParsedArgs& parsed, const std::string& command, DeviceOptions& out) {
  out.simulate = parsed.Has("--simulate");
  if (out.simulate) {
    std::string error;
    if (!ParseSimKadoOptions(parsed.Value("--simulate"), out.sim, error)) {
      return UsageError(command, "--simulate: " + error);
    }
  }
  out.memoryOut = parsed.Value("--device-memory");
  out.reportLogOut = parsed.Value("--report-log");
  if ((parsed.Has("--device-memory") || parsed.Has("--report-log")) && !out.simulate) {
    return UsageError(command, "--device-memory and --report-log need --simulate");
  }
  if ((parsed.Has("--device-memory") && out.memoryOut.empty()) ||
      (parsed.Has("--report-log") && out.reportLogOut.empty())) {
    return UsageError(command, "an output file name is empty");
  }
  return kExitOk;
}

std::string FormatReportLog(const std::vector<SimReport>& reports) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const SimReport& report : reports) {
    out += report.get ? "get" : "set";
    for (uint8_t b : report.bytes) {
      out += ' ';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
    out += '\n';
  }
  return out;
}

DeviceSession::DeviceSession(const DeviceOptions& options)
    : options_(options),
      hid_(&ChooseBackend(options_, sim_, system_)),
      env_{*hid_, context_, host_, clock_, format_},
      link_(*hid_, context_, host_) {}

void DeviceSession::Start() {
  startMs_ = clock_.MonotonicMs();
  link_.FormActivate();
  if (link_.Loaded()) {
    poller_.emplace(*hid_);
    poller_->Poll();   // what is present now is known already
    host_.SetEventPump([this] { Pump(); });
  }
}

// The window hears of arrivals by notification; the CLI looks for them while it waits.
void DeviceSession::Pump() {
  if (!poller_) return;
  // The simulated КАДО of attach-after=MS arrives from here, found by the poll below.
  if (sim_) sim_->AttachIfDue(clock_.MonotonicMs() - startMs_);
  for (const HotplugEvent& event : poller_->Poll()) link_.UpdateDevice(event);
  // The pump runs every 40 ms of a wait: often enough for the 50 ms of an open retry.
  if (link_.RetryPending()) link_.RetryOpen();
}

bool DeviceSession::SelectBootLoader() {
  if (context_.device.BootMode()) return true;
  if (!link_.Loaded()) return false;
  std::unique_ptr<HidDevice> handle;
  std::string path;
  if (link_.FindHidDevice(handle, KadoVendorId, KadoBootProductId, &path) != 0) return false;
  handle.reset();
  link_.UpdateDevice(path, kDbtDeviceArrival);
  return context_.device.BootMode();
}

int DeviceSession::Finish(int code) {
  host_.FinishProgress();
  if (!sim_) return code;
  if (!options_.memoryOut.empty()) {
    const std::vector<uint8_t>& memory = sim_->Memory();
    if (!WriteOutput(options_.memoryOut, std::string(memory.begin(), memory.end()))) return kExitFailure;
  }
  if (!options_.reportLogOut.empty() &&
      !WriteOutput(options_.reportLogOut, FormatReportLog(sim_->Reports()))) {
    return kExitFailure;
  }
  return code;
}

}  // namespace velmora::cli
