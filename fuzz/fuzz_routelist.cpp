// The .mrp reader on any bytes. A list read and written again must read back unchanged,
// and writing it once more must give the same file. The same bytes opened with the open
// command and saved again through the grid give exactly the file the writer makes of the
// list read: nothing is lost on the way through the route table.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/fileio.h"
#include "fuzz_support.h"
#include "routes/filecommands.h"
#include "routes/routelistfile.h"

using namespace velmora;

namespace {

const std::string& Folder() { return fuzz::ScratchFolder(); }

class Host : public FileCommandHost {
 public:
  void SetTitle(const std::string&) override {}
  void RefreshWindowState() override {}
  void LogMessage(const std::string&) override {}
  void AppendLogLine(const std::string&, LogColour) override {}
  void SetLogColour(LogColour) override {}
  void ShowStatus(int, const std::string& text) override { status = text; }
  std::string status;
};

class NoDialogs : public FileDialogs {
 public:
  std::optional<std::string> AskOpen(const std::string&) override { return std::nullopt; }
  std::optional<std::string> AskSave(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  bool AskCut(const std::string&, int, int) override { return true; }
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(const DateTime& when) : when_(when) {}
  DateTime Now() const override { return when_; }
  int64_t MonotonicMs() const override { return 0; }
  void SleepMs(int) override {}

 private:
  DateTime when_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const FixedDateTimeFormat format;
  static const DateTime when{2026, 12, 7, 14, 5, 9, 0};
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  StoredRouteList first;
  const RouteListParse parsed = ParseRouteList(bytes, first);
  fuzz::CheckStoredList(first);
  fuzz::Check(parsed.routes == first.count, "routes differs from the stored count");
  fuzz::Check(!parsed.truncated || parsed.routes == kStoredRoutes, "truncated below 256 routes");

  const std::string written = WriteRouteList(first, format, when);
  StoredRouteList second;
  const RouteListParse reparsed = ParseRouteList(written, second);
  fuzz::CheckStoredList(second);
  fuzz::Check(!reparsed.truncated, "a written list reads as more than 256 routes");
  fuzz::Check(second.count == first.count, "written and read back: route count changed");
  for (int i = 0; i < first.count; ++i) {
    fuzz::Check(second.records[i].Texts() == first.records[i].Texts(),
                "written and read back: a route changed");
  }
  fuzz::Check(WriteRouteList(second, format, when) == written, "a second write differs");

  const std::string path = Folder() + "/list.mrp";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fuzz::Fail("cannot write a temporary file");
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  RouteTable table;
  Host host;
  NoDialogs dialogs;
  FixedClock clock(when);
  RouteFileCommands files(table, host, dialogs, clock, format, nullptr);
  files.SetCurrentFile(path);
  files.Open(false);
  fuzz::Check(table.RouteCount() == first.count, "the grid does not show the list read");
  fuzz::Check(files.Save(), "saving the opened list failed");
  fuzz::Check(ReadWholeFile(path, kMaxRouteListFileSize).bytes == written,
              "opened and saved through the grid, the file differs from the list read");
  return 0;
}
