// Stand-ins for the device operations' tests: a window that records every text it is
// shown, a clock that only counts, and a firmware folder on disk.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "device/devicehost.h"
#include "routes/clock.h"

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

class OpsClock : public Clock {
 public:
  int64_t ms = 1000;
  std::vector<int> sleeps;
  DateTime Now() const override { return DateTime{2026, 12, 8, 10, 0, 0, 0}; }
  int64_t MonotonicMs() const override { return ms; }
  void SleepMs(int m) override {
    sleeps.push_back(m);
    ms += m;
  }
  int SleepsOf(int m) const {
    int n = 0;
    for (int s : sleeps) n += s == m;
    return n;
  }
};

// A folder of its own under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("velmora-ops-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Path() const { return path_.u8string(); }
  std::filesystem::path Fs() const { return path_; }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path path_;
};

}  // namespace velmora::opstest
