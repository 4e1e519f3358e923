// The fakes that the route, window and command line tests share: a temporary folder, a clock,
// the file commands' host and their dialogs. Paths are UTF-8 throughout: a narrow path is the
// ANSI code page on Windows.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "routes/clock.h"
#include "routes/filecommands.h"

namespace velmora::test {

// A fresh folder of our own, removed with all it holds.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    // create_directory fails on a name that exists already.
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate = base / ("velmora-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.u8string();
    }
    if (path_.empty()) ADD_FAILURE() << "no temporary folder";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(std::filesystem::u8path(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(std::filesystem::u8path(path_), ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::filesystem::path Fs() const { return std::filesystem::u8path(path_); }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes the file, and the folders on its way; returns its path.
  std::string Write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path p =
        std::filesystem::u8path(path_) / std::filesystem::u8path(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.u8string();
  }
  std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    return Write(relative, std::string(bytes.begin(), bytes.end()));
  }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Stands at `now`; its monotonic time moves only by the sleeps, which it records.
class FakeClock : public Clock {
 public:
  DateTime Now() const override { return now; }
  int64_t MonotonicMs() const override { return ms; }
  void SleepMs(int m) override {
    sleeps.push_back(m);
    ms += m;
  }
  int SleepsOf(int m) const { return static_cast<int>(std::count(sleeps.begin(), sleeps.end(), m)); }
  DateTime now{2026, 12, 7, 14, 5, 9, 0};
  int64_t ms = 0;
  std::vector<int> sleeps;
};

struct Logged {
  std::string text;
  LogColour colour;
  bool operator==(const Logged& o) const { return text == o.text && colour == o.colour; }
};

// Records the title, the refreshes, the status panels and the log lines in their colours.
class FakeHost : public FileCommandHost {
 public:
  void SetTitle(const std::string& t) override {
    title = t;
    ++titles;
  }
  void RefreshWindowState() override { ++refreshes; }
  void LogMessage(const std::string& text) override {
    log.push_back({text, colour});
    status[kPanelStatus] = text;
  }
  void AppendLogLine(const std::string& text, LogColour c) override {
    colour = c;
    log.push_back({text, c});
  }
  void SetLogColour(LogColour c) override { colour = c; }
  void ShowStatus(int panel, const std::string& text) override { status[panel] = text; }

  std::string title;
  int titles = 0, refreshes = 0;
  std::string status[3];
  std::vector<Logged> log;
  LogColour colour;  // the log's current colour
};

// Answers the open and save dialogs and the replace and cut questions from queues, in order;
// an empty queue cancels (No). `afterListing` runs between the open dialog's listing and its
// answer, as another program could.
class FakeDialogs : public FileDialogs {
 public:
  std::optional<std::string> AskOpen(const std::string& startFolder) override {
    ++openCalls;
    openFolder = startFolder;
    if (afterListing) afterListing();
    return Next(opens);
  }
  std::optional<std::string> AskSave(const std::string& startFolder,
                                     const std::string& proposedName) override {
    ++saveCalls;
    saveFolder = startFolder;
    lastProposed = proposedName;
    return Next(saves);
  }
  bool AskReplace(const std::string& path) override {
    lastReplaced = path;
    return Next(replaces);
  }
  bool AskCut(const std::string& path, int routesInFile, int routesKept) override {
    lastCut = CutQuestionText(path, routesInFile, routesKept);
    return Next(cuts);
  }

  std::deque<std::optional<std::string>> opens, saves;
  std::deque<bool> replaces, cuts;
  std::function<void()> afterListing;
  int openCalls = 0, saveCalls = 0;
  std::string openFolder, saveFolder, lastProposed, lastReplaced, lastCut;

 private:
  template <typename T>
  static T Next(std::deque<T>& answers) {
    if (answers.empty()) return T{};
    T a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace velmora::test
