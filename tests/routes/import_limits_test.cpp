// Dorlan files that promise far more than a route group can use.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "import_writer.h"
#include "routes/Classline.h"
#include "routes/filecommands.h"
#include "routes/routeimport.h"
#include "routes/routelistfile.h"

namespace velmora {
namespace {

using test::FakeClock;
using test::FakeDialogs;
using test::FakeHost;
using test::GroupFile;
using test::kMarkA;
using test::kMarkB;
using test::LineFile;
using test::Stop;
using test::TempDir;

TEST(ImportLimits, AHugeCountKeepsOnlyTheEntriesTheImportCanTake) {
  TempDir dir;
  dir.Write("r.mrl", LineFile("0201", "5", {{"A"}, {"B"}}));
  // 3000 entries, but the count line promises two billion: the list ends early.
  std::vector<std::string> listed(3000, "r.mrl");
  const std::string group = dir.Write("g.mrg", GroupFile(listed, "Count=2147483647"));
  TRouteGroupFile file(group);
  EXPECT_FALSE(file.Load());
  EXPECT_EQ(file.Entries().size(), 257u) << "256 routes and one to tell that there were more";

  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 256);
  EXPECT_EQ(stored.count, 256);
  ASSERT_EQ(sink.log.size(), 1u);
  EXPECT_EQ(sink.log[0].text, Cp("***В группе больше 256 маршрутов, взяты первые 256"));
}

TEST(ImportLimits, ALineOfManyStopsKeepsTheStopsThatChooseTheFinalOne) {
  TempDir dir;
  std::vector<Stop> stops;
  for (int i = 0; i < 10000; ++i) stops.push_back({"S" + std::to_string(i)});
  // Marks far past the stops kept whole: B first, then A, which rules over B.
  stops[6000].flag = kMarkB;
  stops[7000].flag = kMarkA;
  stops[8000].flag = kMarkA;
  TRouteLineFile line(dir.Write("l.mrl", LineFile("0201", "9", stops)));
  ASSERT_TRUE(line.Load());
  line.Prepare();
  const auto& kept = line.Stops();
  EXPECT_LE(kept.size(), TRouteLineFile::kMaxStopsKept + 3);
  EXPECT_EQ(kept.front().name, "S0");
  EXPECT_EQ(kept.back().name, "S9999");
  EXPECT_EQ(kept.back().index, 9999);
  const int final = line.FinalStopIndex();
  ASSERT_GE(final, 0);
  EXPECT_EQ(kept[static_cast<std::size_t>(final)].name, "S7000");

  // Without marks the last stop of the file is the final stop.
  stops[6000].flag = stops[7000].flag = stops[8000].flag = 0;
  TRouteLineFile plain(dir.Write("p.mrl", LineFile("0201", "9", stops)));
  ASSERT_TRUE(plain.Load());
  plain.Prepare();
  EXPECT_EQ(plain.Stops()[static_cast<std::size_t>(plain.FinalStopIndex())].name, "S9999");

  // A mark on the last stop alone still changes nothing.
  stops.back().flag = kMarkA;
  TRouteLineFile last(dir.Write("m.mrl", LineFile("0201", "9", stops)));
  ASSERT_TRUE(last.Load());
  last.Prepare();
  EXPECT_EQ(last.Stops()[static_cast<std::size_t>(last.FinalStopIndex())].name, "S9999");
}

TEST(ImportLimits, AnOversizedGroupFileIsNotOpened) {
  TempDir dir;
  const std::string list = dir.Write("a.mrp", std::string("12;A;B;\r\n"));
  const std::string big = dir / "big.MRG";
  {
    std::ofstream out(std::filesystem::u8path(big), std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kMaxRouteListFileSize));
    out.put('x');
  }
  RouteTable table;
  FakeHost host;
  FakeDialogs dialogs;
  FakeClock clock;
  FixedDateTimeFormat format;
  RouteFileCommands files(table, host, dialogs, clock, format, nullptr);
  dialogs.opens.push_back(list);
  files.Open(true);
  ASSERT_EQ(table.RouteCount(), 1);
  const std::string title = host.title;

  dialogs.opens.push_back(big);
  files.Open(true);
  EXPECT_EQ(host.status[kPanelStatus], FileTooLargeText() + " " + cp1251::FromUtf8(big));
  EXPECT_EQ(files.CurrentFile(), list);
  EXPECT_EQ(host.title, title);
  EXPECT_EQ(table.RouteCount(), 1);
  EXPECT_EQ(table.Stored().count, 1);
  EXPECT_FALSE(table.Modified());
}

}  // namespace
}  // namespace velmora
