// The transport's view of a device: a fuzzed parameter reply and a fuzzed sequence of
// feature-call results, through ReadDeviceParams and WriteDeviceMemory.
//
// Input: byte 0 flags (bit 0: a parameter read first, bit 1: device arrivals during the
// write may read the parameters, bit 2: 65536 added to the image size), bytes 1-2 the
// image size, 3-5 first, 6-8 end (little-endian), byte 9 the reply length R, R reply
// bytes (what follows the report ID), then one byte per feature call: bit 0 the call
// fails; on a get, bit 1 makes bits 2-7 the length handed back; on a set, bit 1 lets an
// arrival read the parameters in the next progress report.
//
// Properties: no report is longer than the 132-byte buffer; every data block carries the
// image bytes at its offset, 0xFF past the image and nothing from outside it; blocks are
// numbered and placed in order; the closing report follows the last block and repeats it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "device/transport.h"
#include "fuzz_support.h"

using namespace velmora;

namespace {

class Script {
 public:
  Script(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t Next16() { return Next() | Next() << 8; }
  uint32_t Next24() { return Next() | Next() << 8 | static_cast<uint32_t>(Next()) << 16; }
  std::size_t Left() const { return size_ - pos_; }
  const uint8_t* Here() const { return data_ + pos_; }
  void Skip(std::size_t n) { pos_ += std::min(n, Left()); }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

struct WriteWatch {
  const std::vector<uint8_t>* image = nullptr;
  int64_t first = 0, end = 0;
  bool active = false;
  int dataReports = 0;
  int blockSize = -1;
  int64_t nextOffset = 0;
  std::vector<uint8_t> lastData;
  bool closed = false;
  bool failedSet = false;
  int64_t lastProgress = 0;
};

class FuzzDevice : public HidDevice {
 public:
  FuzzDevice(std::vector<uint8_t> reply, Script& script) : reply_(std::move(reply)), script_(script) {}

  bool GetAttributes(HidAttributes& out) override {
    out.vendorId = KadoVendorId;
    out.productId = KadoProductId;
    return true;
  }
  bool GetManufacturerString(std::u32string& out) override { out = U"Morvan"; return true; }
  bool GetProductString(std::u32string& out) override { out = U"KADO"; return true; }

  bool GetFeature(uint8_t* buffer, std::size_t& length) override {
    fuzz::Check(buffer != nullptr, "get with no buffer");
    fuzz::Check(length >= 1 && length <= kReportBufferSize, "get longer than 132 bytes");
    fuzz::Check(buffer[0] == 1, "parameter read with a report ID other than 1");
    const uint8_t r = script_.Next();
    if (r & 1) return false;
    const std::size_t copied = std::min(length, reply_.size() + 1);
    std::copy(reply_.begin(), reply_.begin() + (copied - 1), buffer + 1);
    length = (r & 2) ? std::min<std::size_t>(length, r >> 2) : copied;
    return true;
  }

  bool SetFeature(const uint8_t* buffer, std::size_t length) override {
    fuzz::Check(buffer != nullptr, "set with no buffer");
    fuzz::Check(length >= 4 && length <= kReportBufferSize, "set report length out of 4..132");
    WriteWatch& w = watch;
    fuzz::Check(w.active, "a set report outside a write");
    fuzz::Check(!w.closed && !w.failedSet, "a set report after the closing report or a failure");
    const int blockSize = static_cast<int>(length) - 4;
    const uint8_t r = script_.Next();
    arrivalPending = (r & 2) != 0;
    if (buffer[0] == 2) {
      if (w.blockSize < 0) {
        fuzz::Check(blockSize > 0 && blockSize <= kMaxBlockSize, "data block size");
        w.blockSize = blockSize;
        const int64_t mask = blockSize - 1;
        w.nextOffset = w.first & ~mask;
      }
      fuzz::Check(blockSize == w.blockSize, "data blocks of different sizes");
      fuzz::Check(buffer[1] == (w.dataReports & 0xFF), "sequence number");
      const int64_t offset = w.nextOffset;
      fuzz::Check((buffer[2] | buffer[3] << 8) == (offset & 0xFFFF), "block offset");
      const int64_t mask = blockSize - 1;
      fuzz::Check(offset < ((w.end + mask) & ~mask), "a block at or past the aligned end");
      for (int j = 0; j < blockSize; ++j) {
        const int64_t at = offset + j;
        const uint8_t expected =
            at >= 0 && at < static_cast<int64_t>(w.image->size()) ? (*w.image)[at] : 0xFF;
        fuzz::Check(buffer[4 + j] == expected, "a block byte that is not the image's");
      }
      if (r & 1) {
        w.failedSet = true;
        return false;
      }
      ++w.dataReports;
      w.nextOffset += blockSize;
      w.lastData.assign(buffer, buffer + length);
      return true;
    }
    fuzz::Check(buffer[0] == 1, "a set report with an ID other than 1 or 2");
    fuzz::Check(buffer[1] == (w.dataReports & 0xFF), "closing report block count");
    if (w.dataReports > 0) {
      fuzz::Check(length == w.lastData.size(), "closing report length");
      fuzz::Check(std::equal(buffer + 2, buffer + length, w.lastData.begin() + 2),
                  "closing report does not repeat the last block");
    }
    w.closed = true;
    return (r & 1) == 0;
  }

  WriteWatch watch;
  bool arrivalPending = false;

 private:
  std::vector<uint8_t> reply_;
  Script& script_;
};

class FuzzHost : public DeviceHost {
 public:
  explicit FuzzHost(bool arrivals) : arrivals_(arrivals) {}
  void LogMessage(const std::string&) override {}
  void AppendLogLine(const std::string&, LogColour) override {}
  void SetLogColour(LogColour) override {}
  void ShowStatus(int, const std::string&) override {}
  void ReportProgress(int count) override {
    WriteWatch& w = device->watch;
    fuzz::Check(count == std::min<int64_t>(w.nextOffset, INT32_MAX), "progress count");
    fuzz::Check(count >= w.lastProgress, "progress went back");
    w.lastProgress = count;
    // Another device arriving between two blocks reads its parameters.
    if (arrivals_ && device->arrivalPending) {
      device->arrivalPending = false;
      const bool wasActive = w.active;
      w.active = false;
      std::optional<ParamReply> p = ReadDeviceParams(*device, *this);
      if (p) fuzz::Check(p->length <= kReportBufferSize, "reply length past the buffer");
      w.active = wasActive;
    }
  }
  void PumpEvents() override {}
  void RefreshWindowState() override {}
  void BringToFront() override {}
  void SetProductCaption(const std::string&) override {}
  FuzzDevice* device = nullptr;

 private:
  bool arrivals_;
};

class NoClock : public Clock {
 public:
  DateTime Now() const override { return DateTime{2026, 12, 8, 2, 0, 0, 0}; }
  int64_t MonotonicMs() const override { return ms_; }
  void SleepMs(int ms) override { ms_ += ms; }

 private:
  int64_t ms_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Script script(data, size);
  const uint8_t flags = script.Next();
  const std::size_t imageSize = script.Next16() | (flags & 4 ? 0x10000u : 0u);
  const int first = static_cast<int>(script.Next24() & 0x1FFFF);
  const int end = static_cast<int>(script.Next24() & 0x1FFFF) - 16;
  const std::size_t replyLength = std::min<std::size_t>(script.Next(), script.Left());
  std::vector<uint8_t> reply(script.Here(), script.Here() + replyLength);
  script.Skip(replyLength);

  // An exact allocation: a read outside the image is a heap overflow.
  std::vector<uint8_t> image(imageSize);
  for (std::size_t i = 0; i < imageSize; ++i) image[i] = static_cast<uint8_t>((i * 7 + 3) % 251);

  FuzzDevice device(reply, script);
  FuzzHost host((flags & 2) != 0);
  host.device = &device;
  NoClock clock;

  if (flags & 1) {
    std::optional<ParamReply> p = ReadDeviceParams(device, host);
    if (p) {
      fuzz::Check(p->length <= kReportBufferSize, "reply length past the buffer");
      fuzz::Check(p->bytes[0] == 1, "reply without its report ID");
      (void)VersionText(p->bytes.data());
    }
  }

  WriteWatch& w = device.watch;
  w.image = &image;
  w.first = first;
  w.end = end;
  w.active = true;
  const int status = WriteDeviceMemory(device, image.data(), image.size(), first, end, host, clock);
  w.active = false;
  if (status == kStatusOk) {
    fuzz::Check(w.closed && !w.failedSet, "success without a closing report");
    const int64_t mask = w.blockSize > 0 ? w.blockSize - 1 : 0;
    if (w.dataReports > 0) {
      fuzz::Check(w.nextOffset >= ((static_cast<int64_t>(end) + mask) & ~mask),
                  "success before the end of the range");
    }
  } else {
    fuzz::Check(!w.closed, "a closing report after a failure");
    fuzz::Check(!DeviceErrorText(status).empty(), "a status without a text");
  }
  return 0;
}
