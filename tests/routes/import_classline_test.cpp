#include <gtest/gtest.h>

#include "import_writer.h"
#include "routes/Classline.h"

namespace velmora {
namespace {

using test::DorlanWriter;
using test::kMarkA;
using test::kMarkB;
using test::LineFile;
using test::Stop;
using test::TempDir;

TEST(ImportStrings, ShortStringStopsAtZeroAndFailsWhenCut) {
  DorlanWriter w;
  w.Str(std::string("ab\0cd", 5)).Str("").Truncated(10, "abc");
  ByteReader in(w.Bytes());
  std::string v = "x";
  ASSERT_TRUE(ReadShortString(in, v));
  EXPECT_EQ(v, "ab");
  ASSERT_TRUE(ReadShortString(in, v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(ReadShortString(in, v));  // 10 promised, 3 present
  EXPECT_FALSE(ReadShortString(in, v));  // nothing left, not even a length byte
}

TEST(ImportStrings, LineStringTrimsKeepsFirstCharAndSplitsSecondPart) {
  DorlanWriter w;
  w.Str(std::string("12  \0rest \0more", 15)).Str("   ").Str("  a  ");
  ByteReader in(w.Bytes());
  LineString s;
  ASSERT_TRUE(ReadLineString(in, s));
  EXPECT_EQ(s.value, "12");
  EXPECT_EQ(s.second, std::string("rest \0more", 10));
  ASSERT_TRUE(ReadLineString(in, s));
  EXPECT_EQ(s.value, " ");  // only blanks keep one
  EXPECT_EQ(s.second, "");
  ASSERT_TRUE(ReadLineString(in, s));
  EXPECT_EQ(s.value, "  a");
}

TEST(ImportStrings, FlagByteOnlyWhenAskedAndBelowBlank) {
  DorlanWriter w;
  w.Str("\x18stop").Str("\x18stop").Str("Astop").Str("");
  ByteReader in(w.Bytes());
  LineString s;
  ASSERT_TRUE(ReadLineString(in, s, true));
  EXPECT_EQ(s.flag, 0x18);
  EXPECT_EQ(s.value, "stop");
  ASSERT_TRUE(ReadLineString(in, s, false));
  EXPECT_EQ(s.flag, 0);
  EXPECT_EQ(s.value, "\x18stop");
  ASSERT_TRUE(ReadLineString(in, s, true));
  EXPECT_EQ(s.flag, 0);
  EXPECT_EQ(s.value, "Astop");
  ASSERT_TRUE(ReadLineString(in, s, true));  // L = 0: no flag byte to take
  EXPECT_EQ(s.flag, 0);
  EXPECT_EQ(s.value, "");
}

TEST(ImportStrings, VersionAndCountLine) {
  EXPECT_EQ(LineFileVersion("0209xyz"), "0209");
  EXPECT_EQ(LineFileVersion("020"), "0000");
  EXPECT_EQ(LineFileVersion(""), "0000");

  long n = -7;
  EXPECT_TRUE(ParseCountLine("Count=3", n));
  EXPECT_EQ(n, 3);
  EXPECT_TRUE(ParseCountLine("Count=0", n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(ParseCountLine("Count=-2", n));
  EXPECT_EQ(n, -2);
  EXPECT_FALSE(ParseCountLine("count=3", n));  // letter case as written
  EXPECT_FALSE(ParseCountLine("Count=", n));
  EXPECT_FALSE(ParseCountLine("Count=x", n));
  EXPECT_FALSE(ParseCountLine("Count=3x", n));
  EXPECT_FALSE(ParseCountLine("Count=-", n));
  EXPECT_FALSE(ParseCountLine("Count=99999999999", n));
}

TEST(ImportLineFile, Version0209ReadsStopTextsAndStops) {
  TempDir dir;
  const std::string path = dir.Write(
      "l.mrl", LineFile("0209", "12", {{"A"}, {"B", 1 | 4}, {"C"}}, "Start", ""));
  TRouteLineFile line(path);
  ASSERT_TRUE(line.Load());
  EXPECT_TRUE(line.Loaded());
  EXPECT_EQ(*line.DesignationText(), "12");
  EXPECT_EQ(*line.StartStopText(), "Start");
  EXPECT_EQ(*line.FinalStopText(), "");
  ASSERT_EQ(line.Stops().size(), 3u);
  const StopEntry& b = line.Stops()[1];
  EXPECT_EQ(b.index, 1);
  EXPECT_EQ(b.name, "B");
  EXPECT_EQ(b.nameSecond, "second");
  EXPECT_EQ(b.text, "text");
  EXPECT_TRUE(b.bit0);
  EXPECT_TRUE(b.bit2);
  EXPECT_FALSE(b.markA);
  EXPECT_FALSE(b.markB);
  // A second load does not read again: the file can be gone.
  std::filesystem::remove(path);
  EXPECT_TRUE(line.Load());
  EXPECT_EQ(line.Stops().size(), 3u);
}

TEST(ImportLineFile, OlderVersionsHaveNoStopTexts) {
  TempDir dir;
  TRouteLineFile v0201(dir.Write("a.mrl", LineFile("0201", "7", {{"X"}, {"Y"}})));
  ASSERT_TRUE(v0201.Load());
  EXPECT_FALSE(v0201.StartStopText());
  EXPECT_EQ(v0201.Stops().size(), 2u);

  TRouteLineFile v0204(dir.Write("b.mrl", LineFile("0204", "7", {{"X"}, {"Y"}, {"Z"}})));
  ASSERT_TRUE(v0204.Load());
  EXPECT_FALSE(v0204.StartStopText());
  EXPECT_EQ(v0204.Stops().size(), 3u);

  // Too short to carry a version: read as the oldest format.
  DorlanWriter w;
  w.Str("02").Str("9").Str("p").Str("4").Str("5").Str("6").Str("7").Str("8").Str("Count=1");
  w.Str("Only").Str("\x08t").Str("3");
  TRouteLineFile shortSig(dir.Write("c.mrl", w));
  ASSERT_TRUE(shortSig.Load());
  EXPECT_FALSE(shortSig.StartStopText());
  ASSERT_EQ(shortSig.Stops().size(), 1u);
  EXPECT_TRUE(shortSig.Stops()[0].markA);
}

TEST(ImportLineFile, CountLineMayBeTheLastItemRead) {
  TempDir dir;
  DorlanWriter v9;  // item 13 is the count line
  v9.Str(test::Signature("0209", "Vexa Single Line")).Str("5").Str("p");
  for (int i = 4; i <= 12; ++i) v9.Str("i");
  v9.Str("Count=2").Str("S1").Str("\x10").Str("").Str("S2").Str("").Str("");
  TRouteLineFile a(dir.Write("a.mrl", v9));
  ASSERT_TRUE(a.Load());
  ASSERT_EQ(a.Stops().size(), 2u);
  EXPECT_TRUE(a.Stops()[0].markB);
  EXPECT_EQ(a.Stops()[1].name, "S2");

  DorlanWriter v1;  // item 8 is the count line
  v1.Str(test::Signature("0201", "Vexa Single Line")).Str("5").Str("p");
  for (int i = 4; i <= 7; ++i) v1.Str("i");
  v1.Str("Count=1").Str("S1").Str("").Str("");
  TRouteLineFile b(dir.Write("b.mrl", v1));
  ASSERT_TRUE(b.Load());
  ASSERT_EQ(b.Stops().size(), 1u);
  EXPECT_EQ(b.Stops()[0].name, "S1");
}

TEST(ImportLineFile, MalformedCountLineFailsButKeepsTexts) {
  TempDir dir;
  for (const char* countLine : {"Count=-1", "Count=abc", "count=1", "Count"}) {
    DorlanWriter w;
    w.Str(test::Signature("0209", "Vexa Single Line")).Str("9").Str("p");
    for (int i = 4; i <= 10; ++i) w.Str("i");
    w.Str("From").Str("To").Str("0").Str(countLine).Str("S").Str("").Str("");
    TRouteLineFile line(dir.Write("l.mrl", w));
    EXPECT_FALSE(line.Load()) << countLine;
    EXPECT_FALSE(line.Loaded());
    EXPECT_EQ(line.DesignationText().value_or("?"), "9");
    EXPECT_EQ(line.StartStopText().value_or("?"), "From");
    EXPECT_TRUE(line.Stops().empty());
  }
}

TEST(ImportLineFile, EndingInsideStopsKeepsTheWholeOnes) {
  TempDir dir;
  std::string bytes = LineFile("0201", "3", {{"A"}, {"B"}, {"C"}}).Bytes();
  bytes.resize(bytes.size() - 4);  // inside C's third string
  TRouteLineFile line(dir.Write("l.mrl", bytes));
  EXPECT_TRUE(line.Load());
  ASSERT_EQ(line.Stops().size(), 2u);
  EXPECT_EQ(line.Stops()[1].name, "B");

  // A count far above what the file holds, ending inside a length.
  DorlanWriter w;
  w.Str(test::Signature("0201", "")).Str("3").Str("p");
  for (int i = 4; i <= 8; ++i) w.Str("i");
  w.Str("Count=2000000000").Str("A").Str("").Str("").Truncated(255, "AB");
  TRouteLineFile huge(dir.Write("h.mrl", w));
  EXPECT_TRUE(huge.Load());
  EXPECT_EQ(huge.Stops().size(), 1u);
}

TEST(ImportLineFile, EndingBeforeOrAtTheDesignation) {
  TempDir dir;
  TRouteLineFile missing(dir.Path() + "/none.mrl");
  EXPECT_FALSE(missing.Load());
  EXPECT_FALSE(missing.DesignationText());

  TRouteLineFile empty(dir.Write("e.mrl", ""));
  EXPECT_FALSE(empty.Load());
  EXPECT_FALSE(empty.Signature());

  DorlanWriter w;
  w.Str(test::Signature("0209", "x")).Truncated(4, "12");
  TRouteLineFile cut(dir.Write("c.mrl", w));
  EXPECT_FALSE(cut.Load());
  EXPECT_TRUE(cut.Signature());
  EXPECT_FALSE(cut.DesignationText());

  // Past the designation a short file is a read file.
  DorlanWriter d;
  d.Str(test::Signature("0209", "x")).Str("12").Str("p").Str("4");
  TRouteLineFile early(dir.Write("d.mrl", d));
  EXPECT_TRUE(early.Load());
  EXPECT_EQ(*early.DesignationText(), "12");
  EXPECT_FALSE(early.StartStopText());
}

TEST(ImportLineFile, DesignationPaddedOrCut) {
  TempDir dir;
  struct Case {
    std::string text, field, designation;
  } cases[] = {
      {"7", std::string("7   \0\0\0\0", 8), "7   "},
      {Cp("12А"), Cp("12А") + std::string(" \0\0\0\0", 5), Cp("12А ")},
      {"123456", std::string("123456\0\0", 8), "1234"},
      {"123456789", std::string("1234567\0", 8), "1234"},
      {"5   ", std::string("5   \0\0\0\0", 8), "5   "},  // trailing blanks go before padding
      {"", std::string(8, '\0'), ""},
  };
  for (const Case& c : cases) {
    TRouteLineFile line(dir.Write("l.mrl", LineFile("0201", c.text, {})));
    ASSERT_TRUE(line.Load());
    line.Prepare();
    EXPECT_EQ(std::string(line.DesignationField().data(), 8), c.field) << c.text;
    EXPECT_EQ(line.Designation(), c.designation) << c.text;
  }
}

int FinalOf(const TempDir& dir, const std::vector<Stop>& stops) {
  TRouteLineFile line(dir.Write("f.mrl", LineFile("0201", "1", stops)));
  if (!line.Load()) return -2;
  line.Prepare();
  return line.FinalStopIndex();
}

TEST(ImportLineFile, FinalStopIndexFollowsTheEndMarks) {
  TempDir dir;
  EXPECT_EQ(FinalOf(dir, {{"A"}, {"B", kMarkA}, {"C", kMarkB}, {"D"}}), 1);
  EXPECT_EQ(FinalOf(dir, {{"A"}, {"B", kMarkB}, {"C"}, {"D"}}), 1);
  EXPECT_EQ(FinalOf(dir, {{"A", kMarkA}, {"B"}, {"C"}}), 0);
  EXPECT_EQ(FinalOf(dir, {{"A"}, {"B"}, {"C"}, {"D", kMarkA}}), 3);
  // Mark A rules the whole line, not stop by stop.
  EXPECT_EQ(FinalOf(dir, {{"A"}, {"B", kMarkB}, {"C", kMarkA}, {"D"}}), 2);
  EXPECT_EQ(FinalOf(dir, {{"A"}, {"B"}, {"C"}}), 2);
  // Flag bits other than the marks change nothing.
  EXPECT_EQ(FinalOf(dir, {{"A", 1 | 2 | 4}, {"B"}, {"C"}}), 2);
  // One stop: the marks are not summed up.
  EXPECT_EQ(FinalOf(dir, {{"A", kMarkA}}), 0);
  EXPECT_EQ(FinalOf(dir, {}), -1);
}

TEST(ImportGroupFile, ReadsEntriesAndStopsWhereTheFileDoes) {
  TempDir dir;
  TRouteGroupFile group(dir.Write("g.mrg", test::GroupFile({"a.mrl", "b.mrl"})));
  ASSERT_TRUE(group.Load());
  EXPECT_EQ(group.GroupName().value_or(""), "Group");
  ASSERT_EQ(group.Entries().size(), 2u);
  EXPECT_EQ(group.Entries()[1].back(), 'l');
  EXPECT_EQ(group.Folder().back(), '\\');

  DorlanWriter early = test::GroupFile({"a.mrl", "b.mrl"}, "Count=3");
  TRouteGroupFile cut(dir.Write("c.mrg", early));
  EXPECT_FALSE(cut.Load());
  EXPECT_EQ(cut.Entries().size(), 2u);

  for (const char* countLine : {"count=3", "Count=0", "Count=-1", "Count=", "Cnt=1"}) {
    TRouteGroupFile bad(dir.Write("b.mrg", test::GroupFile({"a.mrl"}, countLine)));
    EXPECT_FALSE(bad.Load()) << countLine;
    EXPECT_TRUE(bad.Entries().empty()) << countLine;
  }

  DorlanWriter noCount;
  noCount.Str("sig").Str("name");
  TRouteGroupFile none(dir.Write("n.mrg", noCount));
  EXPECT_FALSE(none.Load());
  EXPECT_TRUE(none.Entries().empty());
}

}  // namespace
}  // namespace velmora
