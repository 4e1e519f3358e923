// A window stand-in that records what the device link shows, and a clock that only counts.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "device/devicehost.h"
#include "routes/clock.h"

namespace velmora::testing {

struct LoggedLine {
  std::string text;
  LogColour colour;
};

class FakeHost : public DeviceHost {
 public:
  std::vector<LoggedLine> log;
  LogColour colour{};
  std::string status[3];
  std::vector<int> progress;
  std::vector<std::string> captions;
  int refreshes = 0;
  int broughtToFront = 0;
  int pumps = 0;
  std::function<void(int)> onProgress;

  void LogMessage(const std::string& text) override {
    log.push_back({text, colour});
    status[kPanelStatus] = text;
  }
  void AppendLogLine(const std::string& text, LogColour c) override {
    colour = c;
    log.push_back({text, c});
  }
  void SetLogColour(LogColour c) override { colour = c; }
  void ShowStatus(int panel, const std::string& text) override {
    if (panel >= 0 && panel < 3) status[panel] = text;
  }
  void ReportProgress(int count) override {
    progress.push_back(count);
    if (onProgress) onProgress(count);
  }
  void PumpEvents() override { ++pumps; }
  void RefreshWindowState() override { ++refreshes; }
  void BringToFront() override { ++broughtToFront; }
  void SetProductCaption(const std::string& text) override { captions.push_back(text); }

  std::string Caption() const { return captions.empty() ? std::string() : captions.back(); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& l : log) lines.push_back(l.text);
    return lines;
  }
};

class FakeClock : public Clock {
 public:
  int sleeps = 0;
  int64_t ms = 0;
  DateTime Now() const override { return DateTime{2026, 12, 8, 10, 0, 0, 0}; }
  int64_t MonotonicMs() const override { return ms; }
  void SleepMs(int m) override {
    ++sleeps;
    ms += m;
  }
};

}  // namespace velmora::testing
