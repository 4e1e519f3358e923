#include "simkado.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "base/cp1251.h"
#include "transport.h"

namespace velmora {

namespace {

constexpr char kNormalPath[] = "sim:kado";
constexpr char kBootPath[] = "sim:kado-boot";
constexpr std::size_t kReplyLength = kReportBufferSize;
constexpr std::size_t kShortReplyLength = 5;

bool ParseNumber(const std::string& text, long minimum, long maximum, long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* endPtr = nullptr;
  value = std::strtol(text.c_str(), &endPtr, 10);
  return errno == 0 && *endPtr == '\0' && value >= minimum && value <= maximum;
}

}  // namespace

struct SimKado::Impl {
  KadoModel model;
  bool attached = true;
  int generation = 0;   // counts detaches; a handle from an earlier generation is dead
  int openHandles = 0;
  std::function<void(const HotplugEvent&)> listener;

  explicit Impl(SimKadoOptions options) : model(std::move(options)) {}

  std::string Path() const { return model.Options().boot ? kBootPath : kNormalPath; }

  void Emit(bool arrival) {
    if (listener) listener(HotplugEvent{Path(), arrival, KadoVendorId, model.ProductId()});
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
    out.productId = impl_->model.ProductId();
    out.versionNumber = 0x0100;
    return true;
  }

  bool GetManufacturerString(std::u32string& out) override {
    if (!Alive()) return false;
    out = utf8::Decode(impl_->model.Options().manufacturerUtf8);
    return true;
  }

  bool GetProductString(std::u32string& out) override {
    if (!Alive()) return false;
    out = utf8::Decode(impl_->model.Options().productUtf8);
    return true;
  }

  bool GetFeature(uint8_t* buffer, std::size_t& length) override {
    return Alive() && impl_->model.GetFeature(handle_, buffer, length);
  }

  bool SetFeature(const uint8_t* buffer, std::size_t length) override {
    return Alive() && impl_->model.SetFeature(handle_, buffer, length);
  }

 private:
  bool Alive() const { return impl_->attached && impl_->generation == generation_; }

  std::shared_ptr<SimKado::Impl> impl_;
  int generation_;
  KadoModel::Handle handle_;
};

// The options of --simulate=OPTIONS, in the order the texts list them: the parser, both usage
// texts and the README's list are made from this one table.
struct SimOption {
  enum Kind { Flag, Number, Version, File };
  const char* name;
  Kind kind;
  const char* value;    // what the texts write after "=", "" for a flag
  const char* note;     // what the texts add in brackets, "" for nothing
  long maximum;         // a number's largest value (the smallest is 0)
  const char* refusal;  // a bad value's message, before the value
  void (*set)(SimKadoOptions&, long);
};

constexpr SimOption kSimOptions[] = {
    {"boot", SimOption::Flag, "", "", 0, "", [](SimKadoOptions& o, long) { o.boot = true; }},
    {"block", SimOption::Number, "N", "", 65535, "bad block size: ",
     [](SimKadoOptions& o, long n) { o.blockSize = static_cast<int>(n); }},
    {"memory", SimOption::Number, "N", "", kMaxKadoMemory, "bad memory size: ",
     [](SimKadoOptions& o, long n) { o.memorySize = static_cast<int>(n); }},
    {"version", SimOption::Version, "A.B", "", 127, "bad version: ", nullptr},
    {"fail-block", SimOption::Number, "K", "", 1 << 20, "bad block number: ",
     [](SimKadoOptions& o, long n) { o.failBlock = static_cast<int>(n); }},
    {"unplug-after", SimOption::Number, "K", "the device is unplugged after data block K",
     1 << 20, "bad block number: ",
     [](SimKadoOptions& o, long n) { o.unplugAfterBlock = static_cast<int>(n); }},
    {"short-reply", SimOption::Flag, "", "", 0, "",
     [](SimKadoOptions& o, long) { o.replyLength = static_cast<int>(kShortReplyLength); }},
    {"reply", SimOption::Number, "N",
     "parameter reply of N bytes, 0..132; short-reply is reply=5",
     static_cast<long>(kReplyLength), "bad reply length: ",
     [](SimKadoOptions& o, long n) { o.replyLength = static_cast<int>(n); }},
    {"param-fail", SimOption::Flag, "", "the parameter report cannot be read", 0, "",
     [](SimKadoOptions& o, long) { o.failParamRead = true; }},
    {"detached", SimOption::Flag, "", "", 0, "",
     [](SimKadoOptions& o, long) { o.detached = true; }},
    {"attach-after", SimOption::Number, "MS", "with detached: arrives MS ms after start",
     1 << 20, "bad delay: ",
     [](SimKadoOptions& o, long n) { o.attachAfterMs = static_cast<int>(n); }},
    {"save", SimOption::File, "FILE", "last: the memory into FILE after every write", 0, "",
     nullptr},
};
// The file option takes the rest of the text, commas and all: it is the last.
constexpr const SimOption& kFileOption = kSimOptions[std::size(kSimOptions) - 1];
static_assert(kFileOption.kind == SimOption::File);

// A flag is written without a value, every other option with one.
const SimOption* FindOption(const std::string& name, bool hasValue) {
  for (const SimOption& option : kSimOptions) {
    if (name == option.name && (option.kind == SimOption::Flag) != hasValue) return &option;
  }
  return nullptr;
}

// "boot, block=N, ...": each option as written, between `quote`s, and its note.
std::string OptionList(const char* quote) {
  std::string list;
  for (const SimOption& option : kSimOptions) {
    if (!list.empty()) list += ", ";
    list += std::string(quote) + option.name + (*option.value ? "=" : "") + option.value + quote;
    if (*option.note) list += std::string(" (") + option.note + ")";
  }
  return list;
}

// Columns of UTF-8 text: one a character.
std::size_t Columns(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The words of `text` in lines of at most `width` columns (a longer word alone), each ending in a
// line break: the first after `first`, the others after as many blanks as `first` has columns.
std::string Wrap(const std::string& first, const std::string& text, std::size_t width) {
  const std::string indent(Columns(first), ' ');
  std::string out, line = first;
  bool lineHasWord = false;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    at = end + 1;
    if (lineHasWord && Columns(line) + 1 + Columns(word) > width) {
      out += line + "\n";
      line = indent;
      lineHasWord = false;
    }
    line += (lineHasWord ? " " : "") + word;
    lineHasWord = true;
  }
  return out + line + "\n";
}

}  // namespace

bool ParseSimKadoOptions(const std::string& text, SimKadoOptions& options, std::string& error) {
  const std::string filePrefix = std::string(kFileOption.name) + "=";
  std::size_t start = 0;
  while (start <= text.size()) {
    if (text.compare(start, filePrefix.size(), filePrefix) == 0) {
      options.saveFile = text.substr(start + filePrefix.size());
      if (options.saveFile.empty()) {
        error = std::string(kFileOption.name) + " needs a file name";
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
    const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
    const SimOption* option = FindOption(item.substr(0, equals), equals != std::string::npos);
    if (option == nullptr || option->kind == SimOption::File) {
      error = "unknown option: " + item;
      return false;
    }
    long number = 0;
    if (option->kind == SimOption::Number) {
      if (!ParseNumber(value, 0, option->maximum, number)) {
        error = option->refusal + value;
        return false;
      }
    } else if (option->kind == SimOption::Version) {
      const std::size_t dot = value.find('.');
      const long most = option->maximum;
      long major = 0, minor = 0;
      if (dot == std::string::npos || !ParseNumber(value.substr(0, dot), 0, most, major) ||
          !ParseNumber(value.substr(dot + 1), 0, most, minor)) {
        error = option->refusal + value;
        return false;
      }
      options.versionMajor = static_cast<int8_t>(major);
      options.versionMinor = static_cast<int8_t>(minor);
      continue;
    }
    option->set(options, number);
  }
  if (options.attachAfterMs >= 0 && !options.detached) {
    error = "attach-after needs detached";
    return false;
  }
  return true;
}

std::string SimulateOptionUsage(const std::string& meaning) {
  return Wrap("  --simulate[=OPTIONS]  ",
              meaning + "; OPTIONS is a comma-separated list of " + OptionList(""), 85);
}

std::string SimKadoOptionsMarkdown() {
  return Wrap("", "OPTIONS is a comma-separated list of " + OptionList("`") + ".", 100);
}

SimKado::SimKado(SimKadoOptions options) : impl_(std::make_shared<Impl>(std::move(options))) {
  impl_->attached = !impl_->model.Options().detached;
  Impl* impl = impl_.get();
  impl_->model.SetUnplugHandler([impl] { impl->Detach(); });
}

SimKado::~SimKado() = default;

bool SimKado::Load() { return true; }

std::vector<HidDeviceInfo> SimKado::Enumerate() {
  if (!impl_->attached) return {};
  HidDeviceInfo info;
  info.path = impl_->Path();
  info.vendorId = KadoVendorId;
  info.productId = impl_->model.ProductId();
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
  SimKadoOptions& options = impl_->model.Options();
  const int after = options.attachAfterMs;
  if (after < 0 || elapsedMs < after) return;
  options.attachAfterMs = -1;   // once: a later Detach stays detached
  impl_->Attach();
}

void SimKado::SetBoot(bool boot) {
  if (impl_->model.Options().boot == boot) return;
  const bool wasAttached = impl_->attached;
  impl_->Detach();
  impl_->model.SetBoot(boot);
  if (wasAttached) impl_->Attach();
}

bool SimKado::Attached() const { return impl_->attached; }

std::string SimKado::Path() const { return impl_->Path(); }

SimKadoOptions& SimKado::Options() { return impl_->model.Options(); }

const std::vector<uint8_t>& SimKado::Memory() const { return impl_->model.Memory(); }

const std::vector<SimReport>& SimKado::Reports() const { return impl_->model.Reports(); }

void SimKado::ClearReports() { impl_->model.ClearReports(); }

int SimKado::OpenHandles() const { return impl_->openHandles; }

int SimKado::DataBlocksReceived() const { return impl_->model.DataBlocksReceived(); }

}  // namespace velmora
