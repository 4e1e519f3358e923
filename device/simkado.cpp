#include "simkado.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "../routes/cp1251.h"
#include "../routes/fileio.h"
#include "transport.h"

namespace velmora {

namespace {

constexpr char kNormalPath[] = "sim:kado";
constexpr char kBootPath[] = "sim:kado-boot";
constexpr std::size_t kReplyLength = kReportBufferSize;
constexpr std::size_t kShortReplyLength = 5;
constexpr int kMaxSimMemory = 1 << 24;

bool ParseNumber(const std::string& text, long minimum, long maximum, long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* endPtr = nullptr;
  value = std::strtol(text.c_str(), &endPtr, 10);
  return errno == 0 && *endPtr == '\0' && value >= minimum && value <= maximum;
}

}  // namespace

struct SimKado::Impl {
  SimKadoOptions options;
  bool attached = true;
  int generation = 0;   // counts detaches; a handle from an earlier generation is dead
  std::vector<uint8_t> memory;
  std::vector<SimReport> reports;
  int openHandles = 0;
  int dataBlocks = 0;
  std::function<void(const HotplugEvent&)> listener;

  std::string Path() const { return options.boot ? kBootPath : kNormalPath; }

  void EnsureMemory() {
    const std::size_t size = static_cast<std::size_t>(std::clamp(
        options.EffectiveMemorySize(), 0, kMaxSimMemory));
    if (memory.size() != size) memory.assign(size, 0xFF);
  }

  void Emit(bool arrival) {
    if (listener)
      listener(HotplugEvent{Path(), arrival, KadoVendorId,
                            options.boot ? KadoBootProductId : KadoProductId});
  }

  void Detach() {
    if (!attached) return;
    attached = false;
    ++generation;
    Emit(false);
  }

  void Attach() {
    if (attached) return;
    attached = true;
    Emit(true);
  }

  // The КАДО's parameter reply. Its MemorySize field (bytes 3-6) overlaps the version
  // bytes 5 and 6, so a host reads the version as the upper half of MemorySize; the
  // simulation's own memory keeps the configured size.
  void FillParamReply(uint8_t* reply) const {
    std::fill(reply, reply + kReplyLength, 0);
    reply[0] = 1;
    EncodeLittleEndian(&reply[1], static_cast<uint32_t>(options.blockSize), 2);
    EncodeLittleEndian(&reply[3], static_cast<uint32_t>(options.EffectiveMemorySize()), 2);
    reply[5] = static_cast<uint8_t>(options.versionMajor);
    reply[6] = static_cast<uint8_t>(options.versionMinor);
  }
};

namespace {

class SimHidDevice : public HidDevice {
 public:
  explicit SimHidDevice(std::shared_ptr<SimKado::Impl> impl)
      : impl_(std::move(impl)), generation_(impl_->generation) {
    ++impl_->openHandles;
  }
  ~SimHidDevice() override { --impl_->openHandles; }

  bool GetAttributes(HidAttributes& out) override {
    if (!Alive()) return false;
    out = HidAttributes{};
    out.vendorId = KadoVendorId;
    out.productId = impl_->options.boot ? KadoBootProductId : KadoProductId;
    out.versionNumber = 0x0100;
    return true;
  }

  bool GetManufacturerString(std::u32string& out) override {
    if (!Alive()) return false;
    out = utf8::Decode(impl_->options.manufacturerUtf8);
    return true;
  }

  bool GetProductString(std::u32string& out) override {
    if (!Alive()) return false;
    out = utf8::Decode(impl_->options.productUtf8);
    return true;
  }

  bool GetFeature(uint8_t* buffer, std::size_t& length) override {
    if (!Alive() || length == 0 || buffer[0] != 1 || impl_->options.failParamRead) return false;
    uint8_t reply[kReplyLength];
    impl_->FillParamReply(reply);
    const int wanted = impl_->options.replyLength;
    const std::size_t answered = std::min(
        length, wanted >= 0 ? std::min(static_cast<std::size_t>(wanted), kReplyLength)
                            : kReplyLength);
    std::copy(reply, reply + answered, buffer);
    length = answered;
    impl_->reports.push_back(SimReport{true, std::vector<uint8_t>(buffer, buffer + answered)});
    blocks_ = 0;
    impl_->dataBlocks = 0;
    return true;
  }

  bool SetFeature(const uint8_t* buffer, std::size_t length) override {
    if (!Alive() || length == 0) return false;
    const SimKadoOptions& options = impl_->options;
    if (buffer[0] == 2) {
      // The fault counters follow this handle's write, so a parameter read by another
      // handle (a device arrival in the middle of a write) does not reset them.
      ++blocks_;
      if (options.failBlock > 0 && blocks_ == options.failBlock) return false;
      impl_->reports.push_back(SimReport{false, std::vector<uint8_t>(buffer, buffer + length)});
      impl_->dataBlocks = blocks_;
      if (length > 4) {
        impl_->EnsureMemory();
        const std::size_t offset = DecodeLittleEndian(&buffer[2], 2);
        for (std::size_t i = 4; i < length; ++i) {
          const std::size_t at = offset + (i - 4);
          if (at < impl_->memory.size()) impl_->memory[at] = buffer[i];
        }
      }
      if (options.unplugAfterBlock > 0 && blocks_ == options.unplugAfterBlock) impl_->Detach();
      return true;
    }
    if (buffer[0] == 1) {
      impl_->reports.push_back(SimReport{false, std::vector<uint8_t>(buffer, buffer + length)});
      // What a write left in the device, for a demo or a test that looks from outside.
      if (!options.saveFile.empty()) {
        impl_->EnsureMemory();
        WriteFileAtomic(options.saveFile,
                        std::string(impl_->memory.begin(), impl_->memory.end()));
      }
      return true;
    }
    return false;
  }

 private:
  bool Alive() const { return impl_->attached && impl_->generation == generation_; }

  std::shared_ptr<SimKado::Impl> impl_;
  int generation_;
  int blocks_ = 0;
};

}  // namespace

bool ParseSimKadoOptions(const std::string& text, SimKadoOptions& options, std::string& error) {
  std::size_t start = 0;
  while (start <= text.size()) {
    if (text.compare(start, 5, "save=") == 0) {
      options.saveFile = text.substr(start + 5);
      if (options.saveFile.empty()) {
        error = "save needs a file name";
        return false;
      }
      break;
    }
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = text.substr(start, comma - start);
    start = comma + 1;
    if (item.empty()) continue;

    const std::size_t equals = item.find('=');
    const std::string name = item.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
    const bool hasValue = equals != std::string::npos;
    long number = 0;
    if (name == "boot" && !hasValue) {
      options.boot = true;
    } else if (name == "detached" && !hasValue) {
      options.detached = true;
    } else if (name == "short-reply" && !hasValue) {
      options.replyLength = static_cast<int>(kShortReplyLength);
    } else if (name == "reply" && hasValue) {
      if (!ParseNumber(value, 0, static_cast<long>(kReplyLength), number)) {
        error = "bad reply length: " + value;
        return false;
      }
      options.replyLength = static_cast<int>(number);
    } else if (name == "param-fail" && !hasValue) {
      options.failParamRead = true;
    } else if (name == "attach-after" && hasValue) {
      if (!ParseNumber(value, 0, 1 << 20, number)) {
        error = "bad delay: " + value;
        return false;
      }
      options.attachAfterMs = static_cast<int>(number);
    } else if (name == "block" && hasValue) {
      if (!ParseNumber(value, 0, 65535, number)) {
        error = "bad block size: " + value;
        return false;
      }
      options.blockSize = static_cast<int>(number);
    } else if (name == "memory" && hasValue) {
      if (!ParseNumber(value, 0, kMaxSimMemory, number)) {
        error = "bad memory size: " + value;
        return false;
      }
      options.memorySize = static_cast<int>(number);
    } else if (name == "fail-block" && hasValue) {
      if (!ParseNumber(value, 0, 1 << 20, number)) {
        error = "bad block number: " + value;
        return false;
      }
      options.failBlock = static_cast<int>(number);
    } else if (name == "unplug-after" && hasValue) {
      if (!ParseNumber(value, 0, 1 << 20, number)) {
        error = "bad block number: " + value;
        return false;
      }
      options.unplugAfterBlock = static_cast<int>(number);
    } else if (name == "version" && hasValue) {
      const std::size_t dot = value.find('.');
      long major = 0, minor = 0;
      if (dot == std::string::npos || !ParseNumber(value.substr(0, dot), 0, 127, major) ||
          !ParseNumber(value.substr(dot + 1), 0, 127, minor)) {
        error = "bad version: " + value;
        return false;
      }
      options.versionMajor = static_cast<int8_t>(major);
      options.versionMinor = static_cast<int8_t>(minor);
    } else {
      error = "unknown option: " + item;
      return false;
    }
  }
  if (options.attachAfterMs >= 0 && !options.detached) {
    error = "attach-after needs detached";
    return false;
  }
  return true;
}

SimKado::SimKado(SimKadoOptions options) : impl_(std::make_shared<Impl>()) {
  impl_->options = std::move(options);
  impl_->attached = !impl_->options.detached;
  impl_->EnsureMemory();
}

SimKado::~SimKado() = default;

bool SimKado::Load() { return true; }

std::vector<HidDeviceInfo> SimKado::Enumerate() {
  if (!impl_->attached) return {};
  HidDeviceInfo info;
  info.path = impl_->Path();
  info.vendorId = KadoVendorId;
  info.productId = impl_->options.boot ? KadoBootProductId : KadoProductId;
  return {info};
}

std::unique_ptr<HidDevice> SimKado::Open(const std::string& path, bool /*exclusive*/) {
  if (!impl_->attached || path != impl_->Path()) return nullptr;
  return std::make_unique<SimHidDevice>(impl_);
}

void SimKado::SetEventListener(std::function<void(const HotplugEvent&)> listener) {
  impl_->listener = std::move(listener);
}

void SimKado::Attach() { impl_->Attach(); }

void SimKado::Detach() { impl_->Detach(); }

void SimKado::AttachIfDue(int64_t elapsedMs) {
  const int after = impl_->options.attachAfterMs;
  if (after < 0 || elapsedMs < after) return;
  impl_->options.attachAfterMs = -1;   // once: a later Detach stays detached
  impl_->Attach();
}

void SimKado::SetBoot(bool boot) {
  if (impl_->options.boot == boot) return;
  const bool wasAttached = impl_->attached;
  impl_->Detach();
  impl_->options.boot = boot;
  // The boot loader and the program see different memories.
  impl_->memory.clear();
  impl_->EnsureMemory();
  if (wasAttached) impl_->Attach();
}

bool SimKado::Attached() const { return impl_->attached; }

std::string SimKado::Path() const { return impl_->Path(); }

SimKadoOptions& SimKado::Options() { return impl_->options; }

const std::vector<uint8_t>& SimKado::Memory() const {
  impl_->EnsureMemory();
  return impl_->memory;
}

const std::vector<SimReport>& SimKado::Reports() const { return impl_->reports; }

void SimKado::ClearReports() { impl_->reports.clear(); }

int SimKado::OpenHandles() const { return impl_->openHandles; }

int SimKado::DataBlocksReceived() const { return impl_->dataBlocks; }

}  // namespace velmora
