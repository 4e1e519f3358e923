// A window stand-in that records what the device link shows, and a clock that only counts.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "device/devicehost.h"
#include "device/hid.h"
#include "tests/routes/fakes.h"

namespace velmora::testing {

struct LoggedLine {
  std::string text;
  LogColour colour;
  bool operator==(const LoggedLine& o) const { return text == o.text && colour == o.colour; }
};

class FakeHost : public DeviceHost {
 public:
  std::vector<LoggedLine> log;
  LogColour colour{};
  std::string status[3];
  std::vector<std::string> history[3];   // every text each panel was shown, in order
  std::vector<int> progress;
  std::vector<std::string> captions;
  int refreshes = 0;
  int broughtToFront = 0;
  int pumps = 0;
  std::vector<int> retries;   // each ScheduleOpenRetry delay
  std::function<void(int)> onProgress;
  std::function<void(int)> onPump;     // gets the number of the pump, from 1

  void LogMessage(const std::string& text) override {
    log.push_back({text, colour});
    ShowStatus(kPanelStatus, text);
  }
  void AppendLogLine(const std::string& text, LogColour c) override {
    colour = c;
    log.push_back({text, c});
  }
  void SetLogColour(LogColour c) override { colour = c; }
  void ShowStatus(int panel, const std::string& text) override {
    if (panel < 0 || panel > 2) return;
    status[panel] = text;
    history[panel].push_back(text);
  }
  void ReportProgress(int count) override {
    progress.push_back(count);
    if (onProgress) onProgress(count);
  }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void RefreshWindowState() override { ++refreshes; }
  void BringToFront() override { ++broughtToFront; }
  void SetProductCaption(const std::string& text) override { captions.push_back(text); }
  void ScheduleOpenRetry(int delayMs) override { retries.push_back(delayMs); }

  std::string Caption() const { return captions.empty() ? std::string() : captions.back(); }
  std::vector<LoggedLine> RedLines() const {
    std::vector<LoggedLine> red;
    for (const auto& l : log)
      if (l.colour == kRed) red.push_back(l);
    return red;
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& l : log) lines.push_back(l.text);
    return lines;
  }
};

// The shared clock, from 08.12.2026 10:00.
struct FakeClock : test::FakeClock {
  FakeClock() { now = DateTime{2026, 12, 8, 10, 0, 0, 0}; }
};

// HID interfaces other than the simulated КАДО: a mouse, a device that will not open,
// a КАДО behind a very long path. Feature reports always fail and are counted.
struct FakeHidEntry {
  std::string path;
  HidAttributes attributes;
  bool attributesReadable = true;
  bool hasStrings = true;
  std::u32string manufacturer = U"Logitech";
  std::u32string product = U"USB Optical Mouse";
  int failOpens = 0;          // the first n opens fail; -1: never opens
  int opens = 0;              // attempts
  int featureCalls = 0;
};

class FakeHidBus : public HidFunctions {
 public:
  bool loadable = true;
  int loads = 0;
  std::deque<FakeHidEntry> entries;   // stable addresses for open devices
  std::vector<HidFunctions*> others;   // enumerated after the entries, in order

  FakeHidEntry& Add(const std::string& path, uint16_t vendorId, uint16_t productId) {
    FakeHidEntry e;
    e.path = path;
    e.attributes.vendorId = vendorId;
    e.attributes.productId = productId;
    entries.push_back(e);
    return entries.back();
  }
  FakeHidEntry* Find(const std::string& path) {
    for (auto& e : entries)
      if (e.path == path) return &e;
    return nullptr;
  }

  bool Load() override {
    ++loads;
    for (auto* o : others) o->Load();
    return loadable;
  }
  std::vector<HidDeviceInfo> Enumerate() override {
    std::vector<HidDeviceInfo> list;
    for (const auto& e : entries)
      list.push_back({e.path, e.attributes.vendorId, e.attributes.productId});
    for (auto* o : others)
      for (auto& info : o->Enumerate()) list.push_back(info);
    return list;
  }
  std::unique_ptr<HidDevice> Open(const std::string& path, bool exclusive) override {
    if (FakeHidEntry* e = Find(path)) {
      ++e->opens;
      if (e->failOpens < 0 || e->opens <= e->failOpens) return nullptr;
      return std::make_unique<Device>(*e);
    }
    for (auto* o : others)
      if (auto d = o->Open(path, exclusive)) return d;
    return nullptr;
  }

 private:
  class Device : public HidDevice {
   public:
    explicit Device(FakeHidEntry& e) : e_(e) {}
    bool GetAttributes(HidAttributes& out) override {
      if (e_.attributesReadable) out = e_.attributes;
      return e_.attributesReadable;
    }
    bool GetManufacturerString(std::u32string& out) override {
      out = e_.manufacturer;
      return e_.hasStrings;
    }
    bool GetProductString(std::u32string& out) override {
      out = e_.product;
      return e_.hasStrings;
    }
    bool GetFeature(uint8_t*, std::size_t&) override {
      ++e_.featureCalls;
      return false;
    }
    bool SetFeature(const uint8_t*, std::size_t) override {
      ++e_.featureCalls;
      return false;
    }

   private:
    FakeHidEntry& e_;
  };
};

}  // namespace velmora::testing
