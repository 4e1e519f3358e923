// The fakes that the route, window and command line tests share: the file commands' host and
// their dialogs, with those of tests/base/fakes.h (a temporary folder, a clock).
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "routes/filecommands.h"
#include "tests/base/fakes.h"

namespace velmora::test {

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
