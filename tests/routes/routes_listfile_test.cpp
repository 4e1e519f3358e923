#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "routes/routelistfile.h"

using namespace velmora;

namespace {

StoredRouteList Parse(const std::string& bytes, RouteListParse* result = nullptr) {
  StoredRouteList stored;
  const RouteListParse r = ParseRouteList(bytes, stored);
  if (result) *result = r;
  EXPECT_EQ(r.routes, stored.count);
  return stored;
}

RouteTexts T(const std::string& a, const std::string& b, const std::string& c,
             const std::string& d) {
  return {a, b, c, d};
}

const std::string kHeader = "//\r\n" + Cp("// Версия 01.00 x 07.12.2026 14:05:09") + "\r\n" +
                            Cp("// Маршрутов: 5") + "\r\n";

}  // namespace

TEST(RouteListReader, TableOfRouteLines) {
  struct Case {
    std::string line;
    bool route;
    RouteTexts texts;
  };
  const Case cases[] = {
      {"12;" + Cp("Вокзал"), true, T("12", Cp("Вокзал"), "", "")},
      {"1;2;3;4;5", true, T("1", "2", "3", "4")},
      {"a\\;b;c\\\\d;;", true, T("a;b", "c\\d", "", "")},
      {";;;", true, T("", "", "", "")},
      {"7;" + Cp("Центр//кольцо"), false, {}},
      {"", true, T("", "", "", "")},
      {"a\\/\\/b;x", true, T("a//b", "x", "", "")},
      {"a\tb;c\x01" "d", true, T("ab", "cd", "", "")},
      {"x\\\ty", true, T("x\ty", "", "", "")},
      {"//", false, {}},
  };
  for (const Case& c : cases) {
    const StoredRouteList s = Parse(kHeader + c.line + "\r\n" + "9;z\r\n");
    ASSERT_EQ(s.count, c.route ? 2 : 1) << c.line;
    if (c.route) {
      EXPECT_EQ(s.records[0].Texts(), c.texts) << c.line;
    }
    // The route after the line is read as if that line were not special.
    EXPECT_EQ(s.records[c.route ? 1 : 0].Texts(), T("9", "z", "", "")) << c.line;
  }
}

TEST(RouteListReader, CountLineIsNeverReadAndCommentsMayStandAnywhere) {
  const std::string file = kHeader + "1;a\r\n// note\r\nx;y//tail\r\n2;b\r\n   //\r\n3;c\r\n";
  const StoredRouteList s = Parse(file);
  ASSERT_EQ(s.count, 3);
  EXPECT_EQ(s.records[0].Get(kDesignation), "1");
  EXPECT_EQ(s.records[1].Get(kDesignation), "2");
  EXPECT_EQ(s.records[2].Get(kDesignation), "3");
  EXPECT_TRUE(s.records[3].IsEmpty());
}

TEST(RouteListReader, EmptyAndCommentOnlyFilesGiveNoRoutes) {
  EXPECT_EQ(Parse("").count, 0);
  EXPECT_EQ(Parse(kHeader).count, 0);
  EXPECT_EQ(Parse("// a\r\n//b\n").count, 0);
}

TEST(RouteListReader, TextAfterTheLastLineEndIsIgnored) {
  StoredRouteList s = Parse(kHeader + "1;a\r\n2;b");
  EXPECT_EQ(s.count, 1);
  s = Parse("1;a\r\n\\");  // a lone escape as the very last byte
  EXPECT_EQ(s.count, 1);
  s = Parse("1;a\\");
  EXPECT_EQ(s.count, 0);
}

TEST(RouteListReader, EveryKindOfLineEndEndsOneLineAndLosesNoByte) {
  StoredRouteList s = Parse("ab;1\nbc;2\rcd;3\r\nde;4\n\rxx\r\n");
  ASSERT_EQ(s.count, 6);
  EXPECT_EQ(s.records[0].Texts(), T("ab", "1", "", ""));
  EXPECT_EQ(s.records[1].Texts(), T("bc", "2", "", ""));
  EXPECT_EQ(s.records[2].Texts(), T("cd", "3", "", ""));
  EXPECT_EQ(s.records[3].Texts(), T("de", "4", "", ""));
  EXPECT_EQ(s.records[4].Texts(), T("", "", "", "")) << "LF CR is two line ends";
  EXPECT_EQ(s.records[5].Texts(), T("xx", "", "", ""));
  // A blank line between CR LF lines is one empty route and costs the next line nothing.
  s = Parse("1;a\r\n\r\n2;b\r\n");
  ASSERT_EQ(s.count, 3);
  EXPECT_EQ(s.records[2].Texts(), T("2", "b", "", ""));
}

TEST(RouteListReader, EscapedLineBreaksStayInTheField) {
  const StoredRouteList s = Parse("a\\\r\\\nb;c\r\n");
  ASSERT_EQ(s.count, 1);
  EXPECT_EQ(s.records[0].Get(kDesignation), "a\r\nb");
  EXPECT_EQ(s.records[0].Get(kStartStop), "c");
}

TEST(RouteListReader, FieldsAreCutToTheirCapacity) {
  const std::string line = std::string(10, 'd') + ";" + std::string(600, 's') + ";" +
                           std::string(17, 'f') + ";" + std::string(2000, 'm') + "\r\n";
  const StoredRouteList s = Parse(line + "ok\r\n");
  ASSERT_EQ(s.count, 2);
  EXPECT_EQ(s.records[0].Get(kDesignation), "dddd");
  EXPECT_EQ(s.records[0].Get(kStartStop), std::string(16, 's'));
  EXPECT_EQ(s.records[0].Get(kFinalStop), std::string(16, 'f'));
  EXPECT_EQ(s.records[0].Get(kMessage), std::string(256, 'm'));
  EXPECT_EQ(s.records[1].Get(kDesignation), "ok");
}

TEST(RouteListReader, KeepsTheFirst256Routes) {
  std::string file = kHeader;
  for (int i = 1; i <= 256; ++i) file += std::to_string(i) + "\r\n";
  RouteListParse r;
  StoredRouteList s = Parse(file, &r);
  EXPECT_EQ(s.count, 256);
  EXPECT_FALSE(r.truncated);
  file += "257\r\n// a comment after it\r\n";
  s = Parse(file, &r);
  EXPECT_EQ(s.count, 256);
  EXPECT_TRUE(r.truncated);
  EXPECT_EQ(s.records[255].Get(kDesignation), "256");
  EXPECT_EQ(TooManyRoutesText(), Cp("***В файле больше 256 маршрутов, прочитаны первые 256"));
}

TEST(RouteListReader, ClearsTheStoredListFirst) {
  StoredRouteList s;
  s.count = 3;
  s.records[2].Set(kMessage, "old");
  ParseRouteList("1\r\n", s);
  EXPECT_EQ(s.count, 1);
  EXPECT_TRUE(s.records[2].IsEmpty());
}

TEST(RouteListWriter, WritesTheFileByteForByte) {
  StoredRouteList s;
  s.count = 2;
  s.records[0].SetTexts(T("12", Cp("Вокзал"), Cp("Парк"), ""));
  s.records[1].SetTexts(T(Cp("5А"), Cp("Рынок;ТЦ"), Cp("Аэропорт"), Cp("Через центр")));
  DateTime when{2026, 12, 7, 14, 5, 9, 0};
  const std::string expected = "//\r\n" + Cp("// Версия 01.00 ") + "Velmora 1.05 " +
                               "07.12.2026 14:05:09\r\n" + Cp("// Маршрутов: 2") + "\r\n" +
                               "12;" + Cp("Вокзал;Парк;") + "\r\n" +
                               Cp("5А;Рынок\\;ТЦ;Аэропорт;Через центр") + "\r\n";
  EXPECT_EQ(WriteRouteList(s, FixedDateTimeFormat(), when), expected);

  // Midnight to the second: the date alone.
  when = DateTime{2026, 1, 2, 0, 0, 0, 500};
  EXPECT_EQ(RouteListHeader(FixedDateTimeFormat(), when),
            "//\r\n" + Cp("// Версия 01.00 ") + "Velmora 1.05 02.01.2026\r\n");
  EXPECT_EQ(RouteCountLine(0), Cp("// Маршрутов: 0") + "\r\n");
}

TEST(RouteListWriter, EscapesSeparatorsSlashesAndControlBytes) {
  EXPECT_EQ(RouteLine(T("", "", "", "")), ";;;\r\n");
  EXPECT_EQ(RouteLine(T("a;b", "c\\d", "e/f", "g//h")), "a\\;b;c\\\\d;e\\/f;g\\/\\/h\r\n");
  EXPECT_EQ(RouteLine(T("\t", "x\r\ny", "", "")), "\\\t;x\\\r\\\ny;;\r\n");
}

TEST(RouteListFile, EveryTextReadsBackUnchanged) {
  StoredRouteList s;
  const RouteTexts samples[] = {
      T("a;b", "c\\d", "", "//"),
      T("/", "\\/", "x//y", "http://x/;\\;"),
      T("\t1", "a\tb", "line\r\nbreak", "cr\ronly lf\nonly"),
      T(";;;;", "\\\\\\\\", "////////////////", std::string(256, ';')),
      T(Cp("№5"), Cp("Ёлки"), "", Cp("«Центр» — Парк")),
      T("", "", "", ""),
  };
  s.count = 0;
  for (const RouteTexts& t : samples) s.records[s.count++].SetTexts(t);
  // Every byte a text can hold (no zero: texts end at it).
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  for (std::size_t i = 0; i < all.size(); i += 256) s.records[s.count++].Set(kMessage, all.substr(i, 256));

  const std::string file = WriteRouteList(s, FixedDateTimeFormat(), DateTime{2026, 5, 1, 9, 0, 0, 0});
  StoredRouteList back;
  ASSERT_EQ(ParseRouteList(file, back).routes, s.count);
  for (int i = 0; i < s.count; ++i) EXPECT_EQ(back.records[i].Texts(), s.records[i].Texts()) << i;
}
