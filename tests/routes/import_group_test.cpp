#include <gtest/gtest.h>

#include <vector>

#include "import_writer.h"
#include "routes/routeimport.h"
#include "tests/base/unreadable_files.h"

namespace velmora {
namespace {

using test::GroupFile;
using test::kMarkA;
using test::LineFile;
using test::FakeHost;
using test::Logged;
using test::TempDir;

RouteTexts Route(const StoredRouteList& stored, int i) { return stored.records[i].Texts(); }

TEST(ImportGroup, StopTextsAndStopNamesByVersion) {
  TempDir dir;
  dir.Write("grp/a.mrl", LineFile("0209", "1", {{Cp("Вокзал")}, {Cp("Школа")}, {Cp("Рынок")}},
                                  Cp("Вокзал"), ""));
  dir.Write("grp/b.mrl", LineFile("0209", Cp("12А"), {{"A"}, {"B", kMarkA}, {"C"}}, "", ""));
  dir.Write("grp/c.mrl", LineFile("0201", "7", {{"First"}, {"Mid", kMarkA}, {"Last"}}));
  dir.Write("grp/d.mrl", LineFile("0209", "44", {{"S1"}, {"S2"}}, "From", "To"));
  dir.Write("grp/e.mrl", LineFile("0209", "9", {}, "", ""));
  // The final stop at index 0: the only stop, or end mark A on the first stop.
  dir.Write("grp/f.mrl", LineFile("0201", "3", {{Cp("Депо")}}));
  dir.Write("grp/h.mrl", LineFile("0201", "4", {{"Alpha", kMarkA}, {"Beta"}, {"Gamma"}}));
  const std::string group = dir.Write(
      "grp/g.mrg", GroupFile({"a.mrl", "b.mrl", "c.mrl", "d.mrl", "e.mrl", "f.mrl", "h.mrl"}));

  StoredRouteList stored;
  stored.records[0].Set(kMessage, "left over");
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 7);
  ASSERT_EQ(stored.count, 7);
  EXPECT_EQ(Route(stored, 0), (RouteTexts{"1   ", Cp("Вокзал"), Cp("Рынок"), ""}));
  EXPECT_EQ(Route(stored, 1), (RouteTexts{Cp("12А "), "A", "B", ""}));
  EXPECT_EQ(Route(stored, 2), (RouteTexts{"7   ", "First", "Mid", ""}));
  EXPECT_EQ(Route(stored, 3), (RouteTexts{"44  ", "From", "To", ""}));
  EXPECT_EQ(Route(stored, 4), (RouteTexts{"9   ", "", "", ""}));  // no texts, no stops
  EXPECT_EQ(Route(stored, 5), (RouteTexts{"3   ", Cp("Депо"), Cp("Депо"), ""}));
  EXPECT_EQ(Route(stored, 6), (RouteTexts{"4   ", "Alpha", "Alpha", ""}));
  EXPECT_TRUE(sink.log.empty());
}

TEST(ImportGroup, ListedPathsFoundInAnyLetterCase) {
  TempDir dir;
  dir.Write("Data/Lines/R5.MRL", LineFile("0201", "5", {{"X"}, {"Y"}}));
  dir.Write("Data/Grp/R6.mrl", LineFile("0201", "6", {{"P"}, {"Q"}}));
  const std::string group =
      dir.Write("Data/Grp/g.mrg", GroupFile({"..\\lines\\r5.mrl", "r6.MRL", "D:\\x\\r7.mrl"}));
  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 2);
  EXPECT_EQ(stored.records[0].Get(kDesignation), "5   ");
  EXPECT_EQ(stored.records[1].Get(kFinalStop), "Q");
  ASSERT_EQ(sink.log.size(), 1u);
  EXPECT_EQ(sink.log[0].text, Cp("***Файл маршрута не прочитан: ") + "D:\\x\\r7.mrl");
  EXPECT_EQ(sink.log[0].colour, kRed);
}

TEST(ImportGroup, UnreadableLineFilesAreSkippedWithARedLine) {
  TempDir dir;
  dir.Write("a.mrl", LineFile("0201", "1", {{"A"}, {"B"}}));
  test::DorlanWriter cut;
  cut.Str(test::Signature("0209", "x")).Truncated(3, "1");
  dir.Write("cut.mrl", cut);
  std::string inStops = LineFile("0201", "3", {{"S"}, {"T"}, {"U"}}).Bytes();
  inStops.resize(inStops.size() - 2);
  dir.Write("stops.mrl", inStops);
  const std::string group =
      dir.Write("g.mrg", GroupFile({"missing.mrl", "a.mrl", "cut.mrl", "stops.mrl"}));

  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 2);
  EXPECT_EQ(Route(stored, 0), (RouteTexts{"1   ", "A", "B", ""}));
  EXPECT_EQ(Route(stored, 1), (RouteTexts{"3   ", "S", "T", ""}));  // U was cut off
  ASSERT_EQ(sink.log.size(), 2u);
  EXPECT_EQ(sink.log[0].text, Cp("***Файл маршрута не прочитан: ") + dir.Path() + test::kSep + "missing.mrl");
  EXPECT_EQ(sink.log[1].text, Cp("***Файл маршрута не прочитан: ") + dir.Path() + test::kSep + "cut.mrl");
}

TEST(ImportGroup, LineFilesThatCannotBeReadAreSkippedWithTheirReason) {
  TempDir dir;
  // On Linux "\\" is a letter of a folder's name, not a separator.
  const std::string folder = dir.Path() + test::kSep + (test::kSep[0] == '/' ? "a\\b" : "ab");
  dir.Write(folder + "/a.mrl", LineFile("0201", "1", {{"A"}, {"B"}}));
  std::vector<std::string> listed = {"a.mrl"}, expected;
  for (test::Unreadable kind : test::kUnreadableKinds) {
    const std::string path = folder + test::kSep + std::to_string(listed.size()) + ".mrl";
    if (!test::MakeUnreadable(kind, path, LineFile("0201", "2", {{"C"}}).Bytes())) continue;
    listed.push_back(std::to_string(listed.size()) + ".mrl");
    expected.push_back(Cp("***Файл маршрута не прочитан: ") + path + " " +
                       test::UnreadableReason(kind));
  }
  const std::string group = dir.Write(folder + "/g.mrg", GroupFile(listed));
  StoredRouteList stored;
  FakeHost sink;
  test::AsUnprivileged([&] { EXPECT_EQ(ImportRouteGroup(group, stored, sink), 1); });
  std::vector<std::string> shown;
  for (const Logged& l : sink.log) shown.push_back(l.text);
  EXPECT_EQ(shown, expected);
}

TEST(ImportGroup, BadGroupFilesImportNothingOrWhatWasListed) {
  TempDir dir;
  dir.Write("a.mrl", LineFile("0201", "1", {{"A"}}));
  dir.Write("b.mrl", LineFile("0201", "2", {{"B"}}));
  for (const char* countLine : {"count=3", "Count=0"}) {
    StoredRouteList stored;
    FakeHost sink;
    const std::string g = dir.Write("g.mrg", GroupFile({"a.mrl", "b.mrl"}, countLine));
    EXPECT_EQ(ImportRouteGroup(g, stored, sink), 0) << countLine;
    EXPECT_EQ(stored.count, 0);
  }
  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(dir.Path() + "/none.mrg", stored, sink), 0);
  EXPECT_TRUE(sink.log.empty());

  const std::string early = dir.Write("e.mrg", GroupFile({"a.mrl", "b.mrl"}, "Count=3"));
  EXPECT_EQ(ImportRouteGroup(early, stored, sink), 2);
  EXPECT_EQ(stored.records[1].Get(kStartStop), "B");
}

TEST(ImportGroup, LongNamesAreCutToTheirFields) {
  TempDir dir;
  const std::string longName(40, 'N');
  dir.Write("a.mrl", LineFile("0209", "1", {{longName}, {"Z"}}, "", std::string(200, 'F')));
  StoredRouteList stored;
  FakeHost sink;
  ASSERT_EQ(ImportRouteGroup(dir.Write("g.mrg", GroupFile({"a.mrl"})), stored, sink), 1);
  EXPECT_EQ(stored.records[0].Get(kStartStop), std::string(16, 'N'));
  EXPECT_EQ(stored.records[0].Get(kFinalStop), std::string(16, 'F'));
  EXPECT_EQ(stored.records[0].startStop[16], 0);
}

TEST(ImportGroup, MoreThan256EntriesTakesTheFirst256) {
  TempDir dir;
  dir.Write("a.mrl", LineFile("0201", "1", {{"A"}, {"B"}}));
  dir.Write("z.mrl", LineFile("0201", "999", {{"Late"}, {"B"}}));
  std::vector<std::string> listed(256, "a.mrl");
  listed.push_back("z.mrl");
  listed.push_back("z.mrl");
  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(dir.Write("g.mrg", GroupFile(listed)), stored, sink), 256);
  EXPECT_EQ(stored.count, 256);
  EXPECT_EQ(stored.records[255].Get(kDesignation), "1   ");
  ASSERT_EQ(sink.log.size(), 1u);
  EXPECT_EQ(sink.log[0].text, Cp("***В группе больше 256 маршрутов, взяты первые 256"));
  EXPECT_EQ(sink.log[0].colour, kRed);

  StoredRouteList exact;
  FakeHost quiet;
  listed.resize(256);
  EXPECT_EQ(ImportRouteGroup(dir.Write("g.mrg", GroupFile(listed)), exact, quiet), 256);
  EXPECT_TRUE(quiet.log.empty());
}

}  // namespace
}  // namespace velmora
