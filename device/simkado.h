// A simulated КАДО: a HidFunctions backend over the device model, for the tests, the CLI and
// the --simulate demo.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hid.h"
#include "hotplug.h"
#include "kadomodel.h"

namespace velmora {

// "boot,block=64,memory=8192,version=1.5,fail-block=3,reply=7,detached,attach-after=100,
// save=FILE", the options SimulateOptionUsage lists (save, if given, comes last: FILE may hold
// commas); false on an unknown option or a bad number (`error` says which).
bool ParseSimKadoOptions(const std::string& text, SimKadoOptions& options, std::string& error);
// The --simulate option's lines in a usage text: "  --simulate[=OPTIONS]  ", `meaning` and the
// options OPTIONS may list, wrapped at 85 columns under the meaning.
std::string SimulateOptionUsage(const std::string& meaning);
// The same list for the README (Markdown, wrapped at 100 columns).
std::string SimKadoOptionsMarkdown();

class SimKado : public HidFunctions {
 public:
  explicit SimKado(SimKadoOptions options = {});
  ~SimKado() override;

  bool Load() override;
  std::vector<HidDeviceInfo> Enumerate() override;
  std::unique_ptr<HidDevice> Open(const std::string& path, bool exclusive) override;

  // Arrivals and removals go to the listener (then to UpdateDevice).
  void SetEventListener(std::function<void(const HotplugEvent&)> listener);
  void Attach();                  // no-op when attached
  void Detach();
  // Attaches when attach-after=MS was given and `elapsedMs` since start has reached it; the
  // host calls it from its timer or its wait, and the arrival goes its usual way.
  void AttachIfDue(int64_t elapsedMs);
  void SetBoot(bool boot);        // re-enumerates: a removal, then an arrival
  bool Attached() const;
  std::string Path() const;

  SimKadoOptions& Options();
  const std::vector<uint8_t>& Memory() const;   // EffectiveMemorySize() bytes, erased to 0xFF
  const std::vector<SimReport>& Reports() const;
  void ClearReports();
  int OpenHandles() const;        // handles currently open
  int DataBlocksReceived() const; // since the last parameter read

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace velmora
