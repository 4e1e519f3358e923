// What the benchmarks share: timing a run several times, the measured length of a 1 ms
// pause, and one line of figures against the floor of one 1 ms pause per block.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/clock.h"
#include "device/Formatm.h"
#include "device/devicehost.h"
#include "device/routeimage.h"

namespace velmora::bench {

// The benchmarks' workload: 47 routes of 170-byte records fill the image to exactly 8192 bytes.
inline std::unique_ptr<StoredRouteList> FullRouteList() {
  auto stored = std::make_unique<StoredRouteList>();
  for (int i = 0; i < 47; ++i)
    stored->records[i].SetTexts({"1234", std::string(15, 's'), std::string(15, 'f'), std::string(127, 'm')});
  stored->count = 47;
  return stored;
}

// The largest firmware body the update reads, the same random bytes every run.
inline std::vector<uint8_t> LargestFirmwareBody() {
  std::vector<uint8_t> body(kMaxFirmwareBody);
  std::mt19937 rng(1);
  for (auto& b : body) b = static_cast<uint8_t>(rng());
  return body;
}

using Steady = std::chrono::steady_clock;

// A window that shows nothing.
class QuietHost : public DeviceHost {
 public:
  void LogMessage(const std::string&) override {}
  void AppendLogLine(const std::string&, LogColour) override {}
  void SetLogColour(LogColour) override {}
  void ShowStatus(int, const std::string&) override {}
  void ReportProgress(int) override {}
  void PumpEvents() override {}
  void RefreshWindowState() override {}
  void BringToFront() override {}
  void SetProductCaption(const std::string&) override {}
};

struct Figures {
  double bestMs = 0, medianMs = 0;
};

inline double MsSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

inline Figures Time(int runs, const std::function<bool()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Steady::now();
    if (!run()) {
      std::fprintf(stderr, "run %d failed\n", i + 1);
      return {};
    }
    ms.push_back(MsSince(start));
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

// How long a 1 ms pause really takes here decides everything else.
inline double MeasurePauseMs(Clock& clock) {
  const int n = 500;
  const auto start = Steady::now();
  for (int i = 0; i < n; ++i) clock.SleepMs(1);
  const double each = MsSince(start) / n;
  std::printf("SystemClock::SleepMs(1) lasts %.3f ms on average (%d pauses)\n\n", each, n);
  return each;
}

inline void Print(const char* what, int blocks, double extraMs, const Figures& f, double pauseMs) {
  const double floor = blocks * 1.0 + extraMs;
  // What the pauses alone cost at their measured length: the rest is the program's.
  const double paused = blocks * pauseMs + (extraMs > 0 ? extraMs + pauseMs - 1.0 : 0.0);
  std::printf("%-36s %4d blocks  floor %6.1f ms  best %6.1f ms (%.3f)  median %6.1f ms (%.3f)"
              "  pauses alone %6.1f ms (%.3f)\n",
              what, blocks, floor, f.bestMs, f.bestMs / floor, f.medianMs, f.medianMs / floor,
              paused, paused / floor);
}

}  // namespace velmora::bench
