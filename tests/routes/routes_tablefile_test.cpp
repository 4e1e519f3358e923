// CSV and TSV tables: the reader's rules on one table of cases, the writer read
// back by a reader of the test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routes/cp1251.h"
#include "routes/routelistfile.h"
#include "routes/tablefile.h"

using namespace velmora;

namespace {

// The stored routes as UTF-8, "a|b|c|d" a route, one a line.
std::string Shown(const StoredRouteList& stored) {
  std::string shown;
  for (int i = 0; i < stored.count; ++i) {
    for (int f = 0; f < kRouteFields; ++f)
      shown += cp1251::ToUtf8(stored.records[i].Get(f)) + (f < 3 ? "|" : "\n");
  }
  return shown;
}

// A plain RFC 4180 reader, written apart from the one under test: rows of UTF-8
// cells.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text, char delimiter) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      rows.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == delimiter) {
      rows.back().emplace_back();
    } else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.emplace_back(1);
      ++i;
    } else {
      rows.back().back() += c;
    }
  }
  if (rows.back().size() == 1 && rows.back().front().empty()) rows.pop_back();
  return rows;
}

}  // namespace

TEST(RouteTableReader, TableOfCsvCases) {
  const std::string bom = "\xEF\xBB\xBF";
  const char* headers = "маршрут;НАЧАЛЬНАЯ ОСТАНОВКА;Конечная Остановка;дополнительное сообщение";
  const std::string replaced = ": знаки без кода Windows-1251 заменены на \"?\"\n";
  struct Case {
    const char* name;
    std::string bytes;
    TableKind kind;
    std::string routes, warnings;  // UTF-8, one a line
  };
  // clang-format off
  const Case cases[] = {
      {"UTF-8 with BOM, header line in any case", bom + headers + "\r\n12;Вокзал;Парк;\r\n",
       TableKind::Csv, "12|Вокзал|Парк|\n", ""},
      {"UTF-8 without BOM, bare LF", "7;Школа;Рынок;Через центр\n5;a;b;c\n", TableKind::Csv,
       "7|Школа|Рынок|Через центр\n5|a|b|c\n", ""},
      {"Windows-1251, commas, a quoted comma", Cp("5А,\"Рынок, ТЦ\",Аэропорт,Через центр\r\n"),
       TableKind::Csv, "5А|Рынок, ТЦ|Аэропорт|Через центр\n", ""},
      {"Windows-1251 header line", Cp(headers) + "\r\n" + Cp("1;Ёлка;Жд;\r\n"), TableKind::Csv,
       "1|Ёлка|Жд|\n", ""},
      {"tab found first in the first line", "7\tA;B\tC\tD\r\n", TableKind::Csv, "7|A;B|C|D\n", ""},
      {"a delimiter inside quotes does not count", "\"a;b\",c\r\n", TableKind::Csv, "a;b|c||\n", ""},
      {".tsv is tab whatever the line holds", "1;2\tx\r\n", TableKind::Tsv, "1;2|x||\n", ""},
      {"quoted \";\" and doubled quotes", "\"a;b\";\"Ул. \"\"Мира\"\"\";\"\";x\r\n", TableKind::Csv,
       "a;b|Ул. \"Мира\"||x\n", ""},
      {"line breaks inside quotes are blanks, last line without its end",
       "1;\"две\r\nстроки\";\"x\ny\";z", TableKind::Csv, "1|две строки|x y|z\n", ""},
      {"missing cells empty, extra cells ignored, empty lines skipped",
       "\r\n1;2\r\n\r\n;;;\r\n1;2;3;4;5;6\r\n", TableKind::Csv, "1|2||\n|||\n1|2|3|4\n", ""},
      {"the header only on the first line",
       "1;a\r\nМаршрут;Начальная остановка;Конечная остановка;Дополнительное сообщение\r\n",
       TableKind::Csv, "1|a||\nМарш|Начальная остано|Конечная останов|Дополнительное сообщение\n", ""},
      {"fields cut to their capacities", "123456;Семнадцать знаков;x;y\r\n", TableKind::Csv,
       "1234|Семнадцать знако|x|y\n", ""},
      {"characters without a CP1251 byte", "1;ok\r\n2;Tōkyō;x;中\r\n", TableKind::Csv,
       "1|ok||\n2|T?ky?|x|?\n", "***Маршрут 2, Начальная остановка" + replaced +
                               "***Маршрут 2, Дополнительное сообщение" + replaced},
      {"only a header", bom + headers, TableKind::Csv, "", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    StoredRouteList stored;
    std::string warnings;
    for (const std::string& w : ParseRouteTable(c.bytes, c.kind, stored))
      warnings += cp1251::ToUtf8(w) + "\n";
    EXPECT_EQ(Shown(stored), c.routes) << c.name;
    EXPECT_EQ(warnings, c.warnings) << c.name;
  }
}

TEST(RouteTableReader, KeepsTheFirst256RowsWithTheWarning) {
  for (int rows : {256, 300}) {
    std::string table;
    for (int i = 1; i <= rows; ++i) table += std::to_string(i) + ";a\r\n";
    StoredRouteList stored;
    const TableWarnings warnings = ParseRouteTable(table, TableKind::Csv, stored);
    EXPECT_EQ(stored.count, 256);
    EXPECT_EQ(stored.records[255].Get(kDesignation), "256");
    EXPECT_EQ(warnings, rows > 256 ? TableWarnings{TooManyRoutesText()} : TableWarnings{});
  }
}

TEST(RouteTableWriter, SpreadsheetFormReadsBackCellForCell) {
  StoredRouteList stored;
  const RouteTexts routes[] = {
      {"12", Cp("Вокзал"), Cp("Парк"), ""},
      {Cp(" 5А"), Cp("Рынок;ТЦ"), Cp("Ул. \"Мира\""), Cp("хвост ")},
      {"a,b", "", Cp("две\r\nстроки"), "\t"},
  };
  for (const RouteTexts& r : routes) stored.records[stored.count++].SetTexts(r);
  const std::string table = WriteRouteTable(stored);

  ASSERT_EQ(table.rfind("\xEF\xBB\xBF", 0), 0u);
  const auto rows = ReadCsv(table.substr(3), ';');
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Маршрут", "Начальная остановка",
                                               "Конечная остановка", "Дополнительное сообщение"}));
  for (std::size_t i = 0; i < 3; ++i) {
    std::vector<std::string> expected;
    for (const std::string& cell : routes[i]) expected.push_back(cp1251::ToUtf8(cell));
    EXPECT_EQ(rows[i + 1], expected) << "route " << i + 1;
  }
  // Every line ends with CR LF; only quoted cells hold other line breaks.
  EXPECT_EQ(table.substr(table.size() - 2), "\r\n");
  EXPECT_NE(table.find("\"две\r\nстроки\""), std::string::npos);
  EXPECT_NE(table.find("\r\n\" 5А\";"), std::string::npos);
  EXPECT_NE(table.find("\r\na,b;;"), std::string::npos) << "a comma needs no quotes under \";\"";

  // The program's own reader takes it back, but for the line break's blank.
  StoredRouteList back;
  EXPECT_TRUE(ParseRouteTable(table, TableKind::Csv, back).empty());
  ASSERT_EQ(back.count, 3);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(back.records[i].Texts(), routes[i]) << i;
  EXPECT_EQ(back.records[2].Get(kFinalStop), Cp("две строки"));
}
