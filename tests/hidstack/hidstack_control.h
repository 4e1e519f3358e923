// The virtual КАДО as a test program sees it: the paths scripts/hidstack.sh exports, its
// control commands (each waited for until the device has carried it out) and its memory.
// Standard C++ only, so that the same tests build for Windows and run under Wine.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace hidstack {

class VirtualKado {
 public:
  // Empty when the program does not run inside scripts/hidstack.sh.
  static std::optional<VirtualKado> FromEnvironment() {
    VirtualKado kado;
    kado.control_ = Env("VELMORA_HIDSTACK_CONTROL");
    kado.state_ = Env("VELMORA_HIDSTACK_STATE");
    kado.memory_ = Env("VELMORA_HIDSTACK_MEMORY");
    kado.node_ = Env("VELMORA_HIDSTACK_NODE");
    if (kado.control_.empty() || kado.state_.empty() || kado.memory_.empty()) return std::nullopt;
    return kado;
  }

  // "plug", "unplug", "boot", "normal", "options OPTS", "mode 600", "save"; false when the
  // device did not confirm it within `timeoutMs`.
  bool Command(const std::string& command, int timeoutMs = 5000) const {
    const long before = Commands();
    {
      std::ofstream out(control_, std::ios::binary | std::ios::app);
      out << command << "\n";
      if (!out.flush()) return false;
    }
    return WaitFor([&] { return Commands() > before; }, timeoutMs);
  }

  // A line of the state file ("plugged", "identity", "mode"), "" when it has none.
  std::string State(const std::string& key) const {
    std::ifstream in(state_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    }
    return std::string();
  }

  // The device's memory as save=FILE last received it.
  std::vector<uint8_t> Memory() const {
    std::ifstream in(memory_, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    return std::vector<uint8_t>(text.begin(), text.end());
  }

  const std::string& Node() const { return node_; }

  template <typename Condition>
  static bool WaitFor(Condition condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

 private:
  static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
  }
  long Commands() const { return std::strtol(State("commands").c_str(), nullptr, 10); }

  std::string control_, state_, memory_, node_;
};

}  // namespace hidstack
