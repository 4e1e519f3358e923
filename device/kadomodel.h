// The КАДО as a device: its memory, its identities, its parameter reply, its report
// descriptor and the faults it can be told to show. The simulated backend (SimKado) and
// the virtual hidraw device of the HID-stack tests are two front ends over this one model.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora {

// The largest memory a model is given (the memory=N option's bound).
constexpr int kMaxKadoMemory = 1 << 24;

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

struct SimReport {
  bool get = false;               // get (the bytes answered) or set (the bytes sent)
  std::vector<uint8_t> bytes;
};

// The КАДО's HID report descriptor: a vendor page (0xFF00) collection with two feature
// reports, ID 1 (parameters, closing report) and ID 2 (data block), each of `blockSize` + 3
// bytes behind its ID.
std::vector<uint8_t> KadoReportDescriptor(int blockSize);

class KadoModel {
 public:
  // One open handle's own view: a write's fault counters follow the handle that writes,
  // so a parameter read by another handle (a device arrival during a write) leaves them.
  struct Handle {
    int blocks = 0;
  };

  explicit KadoModel(SimKadoOptions options = {});

  SimKadoOptions& Options() { return options_; }
  const SimKadoOptions& Options() const { return options_; }
  uint16_t ProductId() const;
  // Both report IDs' full length, the ID byte included: what the device answers at most.
  std::size_t ReportLength() const;
  std::vector<uint8_t> ReportDescriptor() const { return KadoReportDescriptor(options_.blockSize); }

  // Switches the identity; the boot loader and the program see different memories.
  void SetBoot(bool boot);
  // Called when unplug-after=K is due, after the K-th data block has been taken.
  void SetUnplugHandler(std::function<void()> handler) { unplug_ = std::move(handler); }

  // A feature read: buffer[0] holds the report ID, `length` the bytes asked for and, on
  // success, answered (the ID included). Only report 1, the parameter reply, can be read.
  bool GetFeature(Handle& handle, uint8_t* buffer, std::size_t& length);
  // A feature write: a data block (ID 2) into the memory, or a closing report (ID 1).
  bool SetFeature(Handle& handle, const uint8_t* buffer, std::size_t length);
  // Writes the memory into save=FILE, when given; false when the file cannot be written.
  bool Save();

  const std::vector<uint8_t>& Memory();   // EffectiveMemorySize() bytes, erased to 0xFF
  const std::vector<SimReport>& Reports() const { return reports_; }
  void ClearReports() { reports_.clear(); }
  int DataBlocksReceived() const { return dataBlocks_; }   // since the last parameter read

 private:
  void EnsureMemory();
  void FillParamReply(uint8_t* reply) const;

  SimKadoOptions options_;
  std::vector<uint8_t> memory_;
  std::vector<SimReport> reports_;
  int dataBlocks_ = 0;
  std::function<void()> unplug_;
};

}  // namespace velmora
