// Stand-ins for the device operations' tests: a window that records every text it is
// shown, and the shared clock and temporary folder under the names these tests use.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/devicehost.h"
#include "routes/clock.h"
#include "tests/routes/fakes.h"

namespace velmora::opstest {

struct Line {
  std::string text;
  LogColour colour;
  bool operator==(const Line& o) const { return text == o.text && colour == o.colour; }
};

class OpsHost : public DeviceHost {
 public:
  std::vector<Line> log;
  std::string panel[3];
  std::vector<std::string> history[3];   // every text each panel was shown, in order
  std::vector<int> progress;
  int pumps = 0;
  int refreshes = 0;
  std::function<void(int)> onPump;     // gets the number of the pump, from 1
  std::function<void(int)> onProgress;

  void LogMessage(const std::string& text) override {
    log.push_back({text, LogColour{}});
    Show(kPanelStatus, text);
  }
  void AppendLogLine(const std::string& text, LogColour colour) override {
    log.push_back({text, colour});
  }
  void SetLogColour(LogColour) override {}
  void ShowStatus(int panel, const std::string& text) override { Show(panel, text); }
  void ReportProgress(int count) override {
    progress.push_back(count);
    if (onProgress) onProgress(count);
  }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void RefreshWindowState() override { ++refreshes; }
  void BringToFront() override {}
  void SetProductCaption(const std::string&) override {}

  std::vector<Line> RedLines() const {
    std::vector<Line> red;
    for (const Line& l : log) {
      if (l.colour == kRed) red.push_back(l);
    }
    return red;
  }

 private:
  void Show(int p, const std::string& text) {
    if (p < 0 || p > 2) return;
    panel[p] = text;
    history[p].push_back(text);
  }
};

// The shared clock, from 08.12.2026 10:00 and 1000 ms.
struct OpsClock : test::FakeClock {
  OpsClock() {
    now = DateTime{2026, 12, 8, 10, 0, 0, 0};
    ms = 1000;
  }
};

using TempFolder = test::TempDir;

}  // namespace velmora::opstest
