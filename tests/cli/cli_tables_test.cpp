// velmora-cli convert between route lists, tables and the routes JSON.
#include <gtest/gtest.h>

#include <memory>

#include "base/clock.h"
#include "base/cp1251.h"
#include "cli_run.h"
#include "routes/routelistfile.h"

namespace {

using clitest::ReadFile;
using clitest::RunCli;
using velmora::Cp;

// The routes of a route list file as UTF-8 lines "a|b|c|d".
std::vector<std::string> RoutesOf(const std::string& mrp) {
  auto stored = std::make_unique<velmora::StoredRouteList>();
  velmora::ParseRouteList(ReadFile(mrp), *stored);
  std::vector<std::string> routes;
  for (int i = 0; i < stored->count; ++i) {
    std::string line;
    for (int f = 0; f < velmora::kRouteFields; ++f)
      line += (f ? "|" : "") + velmora::cp1251::ToUtf8(stored->records[i].Get(f));
    routes.push_back(line);
  }
  return routes;
}

TEST(CliConvert, EachInputFormatToARouteList) {
  struct Case {
    const char* in;
    std::string bytes;
    int code;
    std::vector<std::string> routes;  // of OUT, when written
    const char* err;                  // a piece of standard error
  };
  // clang-format off
  const Case cases[] = {
      {"utf8.CSV", "\xEF\xBB\xBFМаршрут;Начальная остановка;Конечная остановка;Дополнительное сообщение"
                   "\r\n12;\"Вокзал; север\";\"Парк \"\"Мир\"\"\";\r\n", 0, {"12|Вокзал; север|Парк \"Мир\"|"}, ""},
      {"cp1251.csv", Cp("5А,Рынок,Аэропорт,Через центр\r\n"), 0, {"5А|Рынок|Аэропорт|Через центр"}, ""},
      {"tabs.Tsv", "7\tШкола;1\tДепо\t\r\n", 0, {"7|Школа;1|Депо|"}, ""},
      {"script.JSON", "{\"routes\": [{\"designation\": \"9\", \"start\": \"Ул. \\\"Мира\\\"\\ttab\", "
                      "\"extra\": [1, {\"x\": null}]}, {\"final\": \"Парк\"}], \"comment\": true}",
       0, {"9|Ул. \"Мира\"\ttab||", "||Парк|"}, ""},
      {"foreign.csv", "1;Tōkyō\r\n\r\n123456\r\n", 0, {"1|T?ky?||", "1234|||"},
       "***Строка 1, Начальная остановка: знаки без кода Windows-1251 заменены на \"?\"\n"
       "***Строка 3, Маршрут: текст длиной 6 знаков обрезан до 4\n"},
      {"header.csv", "Номер;Откуда\r\n7;Парк\r\n", 0, {"7|Парк||"},
       "Первая строка принята за заголовок: Номер; Откуда\n"},
      {"empty.xlsx", std::string("PK\x05\x06", 4) + std::string(18, '\0'), 1, {},
       "empty.xlsx: cannot read the file: книга повреждена"},
      {"dup.json", "{\"routes\": [{\"start\": \"a\", \"start\": \"b\"}]}", 1, {},
       "the key \"start\" given twice"},
      {"number.json", "{\"routes\": [{\"designation\": 12}]}", 1, {}, "\"designation\" is not a string"},
      {"broken.json", "{\"routes\": [{\"designation\": \"12\"", 1, {}, "broken.json"},
      {"noroutes.json", "{\"route\": []}", 1, {}, "no \"routes\" array"},
      {"nul.json", std::string("{\"routes\": [], \"x\": \0}", 22), 1, {}, "nul.json"},
  };
  // clang-format on
  for (const Case& c : cases) {
    clitest::TempDir dir;
    clitest::WriteFile(dir / c.in, c.bytes);
    clitest::WriteFile(dir / "out.mrp", "earlier");
    const auto r = RunCli({"convert", dir / c.in, dir / "out.mrp"});
    EXPECT_EQ(r.code, c.code) << c.in << "\n" << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.in << "\n" << r.err;
    if (c.code == 0) {
      EXPECT_EQ(RoutesOf(dir / "out.mrp"), c.routes) << c.in;
    } else {
      EXPECT_EQ(ReadFile(dir / "out.mrp"), "earlier") << c.in;
    }
  }
}

TEST(CliConvert, RouteListsRoundTripThroughTablesAndJson) {
  clitest::TempDir dir;
  auto stored = std::make_unique<velmora::StoredRouteList>();
  const velmora::RouteTexts routes[] = {
      {"12", Cp("Вокзал"), Cp("Парк"), Cp("Через // центр; \\ конец")},
      {"", "", "", ""},
      {Cp(" 5А"), Cp("Ул. \"Мира\""), Cp("хвост "), "a\tb,c"},
      {"007", "=1+2", Cp("-Вокзал"), ";"},
      {"'=1", "+7", Cp("@Депо"), Cp("'Ёлка'")},
  };
  // A spreadsheet shows an empty route as a blank row, and blank rows are no routes: the
  // tables carry every route but that one.
  auto withoutEmpty = std::make_unique<velmora::StoredRouteList>();
  for (const auto& texts : routes) {
    stored->records[stored->count++].SetTexts(texts);
    if (texts != velmora::RouteTexts{}) withoutEmpty->records[withoutEmpty->count++].SetTexts(texts);
  }
  const velmora::FixedDateTimeFormat format;
  const velmora::DateTime when{2009, 10, 10, 12, 0, 0, 0};
  clitest::WriteFile(dir / "in.mrp", velmora::WriteRouteList(*stored, format, when));
  // The file but for its line with the date of the save.
  const auto routeLines = [](const std::string& mrp) { return mrp.substr(mrp.find(Cp("// Маршрутов"))); };

  for (const char* middle : {"mid.CSV", "mid.json", "mid.xlsx"}) {
    const bool json = std::string(middle) == "mid.json";
    ASSERT_EQ(RunCli({"convert", dir / "in.mrp", dir / middle}).code, 0) << middle;
    const auto back = RunCli({"convert", dir / middle, dir / "back.mrp"});
    ASSERT_EQ(back.code, 0) << middle << "\n" << back.err;
    EXPECT_EQ(back.err, json ? "" : "Первая строка принята за заголовок: Маршрут; Начальная "
                                    "остановка; Конечная остановка; Дополнительное сообщение\n")
        << middle;
    EXPECT_EQ(routeLines(ReadFile(dir / "back.mrp")),
              routeLines(velmora::WriteRouteList(json ? *stored : *withoutEmpty, format, when)))
        << middle;
  }
  // The table is the spreadsheet's form, the JSON the routes command's output.
  EXPECT_EQ(ReadFile(dir / "mid.CSV")
                .rfind("\xEF\xBB\xBF"
                       "Маршрут;",
                       0),
            0u);
  EXPECT_EQ(ReadFile(dir / "mid.json"), RunCli({"routes", dir / "in.mrp"}).out);
}

}  // namespace
