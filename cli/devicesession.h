// One device operation of the CLI: the HID backend (the system's or a simulated КАДО),
// the device link's start-up search, and the simulation's outputs afterwards.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "cli.h"
#include "clihost.h"
#include "device/devicelink.h"
#include "device/hotplug.h"
#include "device/simkado.h"
#include "device/transfer.h"

namespace velmora::cli {

struct DeviceOptions {
  bool simulate = false;
  SimKadoOptions sim;
  std::string memoryOut, reportLogOut;   // "" when not asked for
};

// --simulate[=OPTIONS], --device-memory OUT, --report-log OUT.
std::vector<OptionSpec> DeviceOptionSpecs();
// kExitOk, or the usage error printed and kExitUsage.
int ReadDeviceOptions(const ParsedArgs& parsed, const std::string& command, DeviceOptions& out);
extern const std::string kDeviceOptionsHelp;

// Every feature report, one per line: "get" or "set", a blank, the bytes in hex.
std::string FormatReportLog(const std::vector<SimReport>& reports);

class DeviceSession {
 public:
  explicit DeviceSession(const DeviceOptions& options);

  // The window's start-up step: loads the backend and takes the КАДО found (normal
  // identity first). While a transfer waits for a device, arrivals are polled for.
  void Start();
  // Takes a КАДО in its boot-loader identity when the start-up search chose another.
  bool SelectBootLoader();

  DeviceEnv& Env() { return env_; }
  DeviceContext& Context() { return context_; }
  CliHost& Host() { return host_; }
  // Writes the simulated device's memory and report log when asked for; returns `code`,
  // or kExitFailure when one of them could not be written.
  int Finish(int code);

 private:
  void Pump();

  DeviceOptions options_;
  std::unique_ptr<SimKado> sim_;
  std::unique_ptr<HidFunctions> system_;
  HidFunctions* hid_ = nullptr;
  DeviceContext context_;
  CliHost host_;
  SystemClock clock_;
  FixedDateTimeFormat format_;
  DeviceEnv env_;
  DeviceLink link_;
  std::optional<EnumerationPoller> poller_;
  int64_t startMs_ = 0;
};

}  // namespace velmora::cli
