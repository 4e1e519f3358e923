#include "hotplug.h"

namespace velmora {

EnumerationPoller::EnumerationPoller(HidFunctions& hid) : hid_(hid) {}

std::vector<HotplugEvent> EnumerationPoller::Poll() {
  std::set<std::tuple<std::string, uint16_t, uint16_t>> present;
  for (const HidDeviceInfo& info : hid_.Enumerate())
    present.emplace(info.path, info.vendorId, info.productId);

  std::vector<HotplugEvent> events;
  // The first enumeration only learns what is there: the start-up step has
  // already processed the devices present at start.
  if (primed_) {
    // Removals before arrivals: a КАДО that re-enumerates under a new path (into
    // its boot loader) reads as gone, then back, as the window messages have it.
    for (const auto& [path, vendorId, productId] : known_)
      if (!present.count({path, vendorId, productId}))
        events.push_back(HotplugEvent{path, false, vendorId, productId});
    for (const auto& [path, vendorId, productId] : present)
      if (!known_.count({path, vendorId, productId}))
        events.push_back(HotplugEvent{path, true, vendorId, productId});
  }
  known_ = std::move(present);
  primed_ = true;
  return events;
}

}  // namespace velmora

namespace velmora {

namespace {

// `digits` hexadecimal digits from `at`, any letter case.
bool HexField(const std::string& text, std::size_t at, std::size_t digits, uint32_t& out) {
  if (digits == 0 || at + digits > text.size()) return false;
  uint32_t value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    value = value << 4 | static_cast<uint32_t>(d);
  }
  out = value;
  return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ParseUdevHidId(const std::string& text, uint16_t& vendorId, uint16_t& productId) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos) return false;
  const std::size_t vendorDigits = second - first - 1, productDigits = text.size() - second - 1;
  uint32_t v = 0, p = 0;
  if (vendorDigits > 8 || productDigits > 8 || !HexField(text, first + 1, vendorDigits, v) ||
      !HexField(text, second + 1, productDigits, p) || v > 0xFFFF || p > 0xFFFF) {
    return false;
  }
  vendorId = static_cast<uint16_t>(v);
  productId = static_cast<uint16_t>(p);
  return true;
}

bool IdsFromInterfacePath(const std::string& path, uint16_t& vendorId, uint16_t& productId) {
  static const std::string kVid = "vid_", kPid = "&pid_";
  for (std::size_t at = 0; at + kVid.size() + 4 + kPid.size() + 4 <= path.size(); ++at) {
    bool match = true;
    for (std::size_t i = 0; i < kVid.size() && match; ++i) match = Lower(path[at + i]) == kVid[i];
    const std::size_t pidAt = at + kVid.size() + 4;
    for (std::size_t i = 0; i < kPid.size() && match; ++i) match = Lower(path[pidAt + i]) == kPid[i];
    uint32_t v = 0, p = 0;
    if (match && HexField(path, at + kVid.size(), 4, v) && HexField(path, pidAt + kPid.size(), 4, p)) {
      vendorId = static_cast<uint16_t>(v);
      productId = static_cast<uint16_t>(p);
      return true;
    }
  }
  return false;
}

}  // namespace velmora
