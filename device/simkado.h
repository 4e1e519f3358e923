// A simulated КАДО: a HidFunctions backend for the tests, the CLI and the --simulate demo.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hid.h"
#include "hotplug.h"

namespace velmora {

struct SimKadoOptions {
  bool boot = false;
  int blockSize = 128;
  int memorySize = -1;            // -1: 8192, or 65536 in the boot-loader identity
  int8_t versionMajor = 1;
  int8_t versionMinor = 5;
  int failBlock = 0;              // the k-th data block of a write fails (from 1); 0: never
  int unplugAfterBlock = 0;       // the device vanishes after the k-th data block; 0: never
  int replyLength = -1;           // bytes of the parameter reply, 0..132; -1: the whole report
  bool failParamRead = false;
  bool detached = false;
  int attachAfterMs = -1;         // with detached: arrives this long after start; -1: never
  std::string saveFile;           // the memory is written here after every closing report
  std::string productUtf8 = "КАДО-08";
  std::string manufacturerUtf8 = "Morvan";

  int EffectiveMemorySize() const { return memorySize >= 0 ? memorySize : (boot ? 65536 : 8192); }
};

// "boot,block=64,memory=8192,version=1.5,fail-block=3,reply=7,detached,attach-after=100,
// save=FILE", the options SimulateOptionUsage lists (save, if given, comes last: FILE may hold
// commas); false on an unknown option or a bad number (`error` says which).
bool ParseSimKadoOptions(const std::string& text, SimKadoOptions& options, std::string& error);
// The --simulate option's lines in a usage text: "  --simulate[=OPTIONS]  ", `meaning` and the
// options OPTIONS may list, wrapped at 85 columns under the meaning.
std::string SimulateOptionUsage(const std::string& meaning);
// The same list for the README (Markdown, wrapped at 100 columns).
std::string SimKadoOptionsMarkdown();

struct SimReport {
  bool get = false;               // get (the bytes answered) or set (the bytes sent)
  std::vector<uint8_t> bytes;
};

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
