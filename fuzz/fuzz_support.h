// Small helpers shared by the fuzz targets.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "base/clock.h"
#include "base/messagesink.h"
#include "routes/routerecord.h"

namespace velmora::fuzz {

// A broken property is a finding: print it and abort so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}
inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// One temporary folder per fuzzing process, removed when the process ends.
inline const std::string& ScratchFolder() {
  static std::string folder;
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) Fail("cannot create a temporary folder");
    folder = name.data();
    std::atexit([] {
      std::error_code error;
      std::filesystem::remove_all(folder, error);
    });
  }
  return folder;
}

class NullSink : public MessageSink {
 public:
  void LogMessage(const std::string& text) override { lines += text.size(); }
  void AppendLogLine(const std::string& text, LogColour) override { lines += text.size(); }
  void SetLogColour(LogColour) override {}
  void ShowStatus(int panel, const std::string&) override {
    Check(panel >= kPanelProgress && panel <= kPanelStatus, "status panel out of range");
  }
  std::size_t lines = 0;
};

// Every field ends with a zero byte inside its width, and nothing is stored past count.
template <std::size_t N>
inline bool Terminated(const std::array<char, N>& field) {
  return std::memchr(field.data(), 0, N) != nullptr;
}
inline void CheckStoredList(const StoredRouteList& stored) {
  Check(stored.count >= 0 && stored.count <= kStoredRoutes, "stored count out of 0..256");
  for (int i = 0; i < kStoredRoutes; ++i) {
    const RouteRecord& r = stored.records[i];
    Check(Terminated(r.designation) && Terminated(r.startStop) && Terminated(r.finalStop) &&
              Terminated(r.message),
          "a route field is not zero-terminated within its width");
    static const RouteRecord blank{};
    if (i >= stored.count) {
      Check(std::memcmp(&r, &blank, sizeof r) == 0, "a record past the stored count is not empty");
    }
  }
}

// The routes a spreadsheet shows as rows with text: one of blanks only (a text cut to its
// capacity can leave that) is a blank row there, and blank rows are no routes.
inline std::vector<RouteTexts> RoutesWithText(const StoredRouteList& stored) {
  std::vector<RouteTexts> routes;
  for (int i = 0; i < stored.count && i < kStoredRoutes; ++i) {
    const RouteTexts texts = stored.records[i].Texts();
    for (const std::string& text : texts) {
      if (text.find_first_not_of(" \t\r\n\xA0") != std::string::npos) {
        routes.push_back(texts);
        break;
      }
    }
  }
  return routes;
}

}  // namespace velmora::fuzz
