// CSV and TSV tables and workbooks: the readers' rules on one table of cases, the CSV
// writer read back by a reader of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/cp1251.h"
#include "routes/routelistfile.h"
#include "sheets/tablefile.h"
#include "sheets/workbookwriter.h"
#include "tests/base/fakes.h"

using namespace velmora;

namespace {

// A hand-made workbook of tests/data/workbooks.
std::string Fixture(const std::string& name) {
  std::string path = std::string(VELMORA_TEST_DATA) + "/workbooks/" + name;
#ifdef _WIN32
  if (path.front() == '/') path = "Z:" + path;  // the build machine's root under Wine
#endif
  const std::string bytes = test::ReadBytes(path);
  EXPECT_FALSE(bytes.empty()) << path;
  return bytes;
}

std::string Utf16(const std::u32string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  const auto unit = [&](char32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  };
  for (char32_t c : text) {
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

StoredRouteList ListOf(std::initializer_list<RouteTexts> routes) {
  StoredRouteList stored;
  for (const RouteTexts& r : routes) stored.records[stored.count++].SetTexts(r);
  return stored;
}

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

TEST(RouteTableReader, TableOfCsvAndWorkbookCases) {
  const std::string bom = "\xEF\xBB\xBF";
  const char* headers = "маршрут;НАЧАЛЬНАЯ ОСТАНОВКА;Конечная Остановка;дополнительное сообщение";
  const std::string gridHeader =
      "~Первая строка принята за заголовок: Маршрут; Начальная остановка; Конечная остановка; "
      "Дополнительное сообщение\n";
  const std::string replaced = ": знаки без кода Windows-1251 заменены на \"?\"\n";
  const auto cut = [](int row, const char* field, int length, int capacity) {
    return "***Строка " + std::to_string(row) + ", " + field + ": текст длиной " +
           std::to_string(length) + " знаков обрезан до " + std::to_string(capacity) + "\n";
  };
  const StoredRouteList written =
      ListOf({{"007", "=1+2", Cp("-Вокзал"), Cp("\"Мира\"; 'x")}, {"'", "@a", Cp("+7 Депо"), "_x0041_ \x01"}});
  const std::string workbook = WriteRouteWorkbook(written).bytes;
  struct Case {
    const char* name;
    std::string bytes;
    TableKind kind;
    std::string routes, lines;  // UTF-8, one a line; "~" marks a blue line, the rest are red
    const char* refusal;        // a piece of the reason, "" when read
  };
  // clang-format off
  const Case cases[] = {
      {"UTF-8 with BOM, header line in any case", bom + headers + "\r\n12;Вокзал;Парк;\r\n",
       TableKind::Csv, "12|Вокзал|Парк|\n", "~Первая строка принята за заголовок: маршрут; НАЧАЛЬНАЯ "
       "ОСТАНОВКА; Конечная Остановка; дополнительное сообщение\n", ""},
      {"UTF-8 without BOM, bare LF", "7;Школа;Рынок;Через центр\n5;a;b;c\n", TableKind::Csv,
       "7|Школа|Рынок|Через центр\n5|a|b|c\n", "", ""},
      {"Windows-1251, commas, a quoted comma", Cp("5А,\"Рынок, ТЦ\",Аэропорт,Через центр\r\n"),
       TableKind::Csv, "5А|Рынок, ТЦ|Аэропорт|Через центр\n", "", ""},
      {"Windows-1251 header line", Cp("Маршрут;Начальная остановка;Конечная остановка;"
       "Дополнительное сообщение\r\n1;Ёлка;Жд;\r\n"), TableKind::Csv, "1|Ёлка|Жд|\n", gridHeader, ""},
      {"tab found first in the first line", "7\tA;B\tC\tD\r\n", TableKind::Csv, "7|A;B|C|D\n", "", ""},
      {"a delimiter inside quotes does not count", "\"a;b\",c\r\n", TableKind::Csv, "a;b|c||\n", "", ""},
      {".tsv is tab whatever the line holds", "1;2\tx\r\n", TableKind::Tsv, "1;2|x||\n", "", ""},
      {"quoted \";\" and doubled quotes", "\"a;b\";\"Ул. \"\"Мира\"\"\";\"\";x\r\n", TableKind::Csv,
       "a;b|Ул. \"Мира\"||x\n", "", ""},
      {"line breaks inside quotes are blanks, last line without its end",
       "1;\"две\r\nстроки\";\"x\ny\";z", TableKind::Csv, "1|две строки|x y|z\n", "", ""},
      {"missing cells empty, extra cells ignored, empty and blank rows skipped, rows counted",
       "\r\n1;2\r\n\r\n;;;\r\n \t;\" \";;\r\n1;2;3;4;5;6\r\n;;;;x\r\n\"\r\n\";\r\n12345;5\r\n",
       TableKind::Csv, "1|2||\n1|2|3|4\n1234|5||\n", cut(9, "Маршрут", 5, 4), ""},
      {"the header only on the first row with text, rows counted from the first line",
       ";;\r\n1;a\r\nМаршрут;Начальная остановка;Конечная остановка;Дополнительное сообщение\r\n",
       TableKind::Csv, "1|a||\nМарш|Начальная остано|Конечная останов|Дополнительное сообщение\n",
       cut(3, "Маршрут", 7, 4) + cut(3, "Начальная остановка", 19, 16) +
       cut(3, "Конечная остановка", 18, 16), ""},
      {"a header worded otherwise; a long first cell without a letter is a route",
       "Номер;Откуда\r\n12345;x\r\n", TableKind::Csv, "1234|x||\n",
       "~Первая строка принята за заголовок: Номер; Откуда\n" + cut(2, "Маршрут", 5, 4), ""},
      {"four letters are a designation, not a header", "Авто;Парк\r\n", TableKind::Csv,
       "Авто|Парк||\n", "", ""},
      {"sep= in any case sets the delimiter and is no row", "SEP=,\r\n1;2,Парк\r\n\r\n123456,x\r\n",
       TableKind::Csv, "1;2|Парк||\n1234|x||\n", cut(3, "Маршрут", 6, 4), ""},
      {"sep= on a .tsv too, without a line end after it", "sep=;", TableKind::Tsv, "", "", ""},
      {"a longer sep line is a row", "sep=;;\r\n", TableKind::Csv, "sep=|||\n", "", ""},
      {"characters without a CP1251 byte, by row", "1;ok\r\n\r\n2;Tōkyō;x;中\r\n", TableKind::Csv,
       "1|ok||\n2|T?ky?|x|?\n", "***Строка 3, Начальная остановка" + replaced +
                               "***Строка 3, Дополнительное сообщение" + replaced, ""},
      {"only a header", bom + headers, TableKind::Csv, "", "~Первая строка принята за заголовок: "
       "маршрут; НАЧАЛЬНАЯ ОСТАНОВКА; Конечная Остановка; дополнительное сообщение\n", ""},
      {"UTF-16 little-endian", Utf16(std::u32string(U"12\tВокзал\r\n\0\t\0\r\n7\t😀\r\n", 21), false), TableKind::Csv,
       "12|Вокзал||\n7|?||\n", "***Строка 3, Начальная остановка" + replaced, ""},
      {"UTF-16 big-endian", Utf16(U"Номер;Откуда\r\n5А;Ёлка", true), TableKind::Csv, "5А|Ёлка||\n",
       "~Первая строка принята за заголовок: Номер; Откуда\n", ""},
      {"a workbook under a table's name", workbook, TableKind::Csv, "", "", "zip"},
      {"NUL bytes outside UTF-16", std::string("1;a\0b\r\n", 7), TableKind::Csv, "", "", "нулевые байты"},
      {"the writer's apostrophe comes off quoted and unquoted cells alike",
       "\"'=1+2\";\"''x\";'-a;\"'a\"\r\n\"'\";\"'\t\";x;\"'@\"\r\n", TableKind::Csv,
       "=1+2|'x|-a|'a\n'|\t|x|@\n", "", ""},
      {"workbook: cells as the spreadsheet shows them", Fixture("cells.xlsx"), TableKind::Workbook,
       "12|007|3|Вокзал\nИСТИ|2024-03-01|2024-03-01|18:00:00\n5А|||Вокзал\n1,5|#DIV/0!|a\tb|\n"
       "0,3|1234567||\n", "~Первая строка принята за заголовок: Номер; Откуда; Куда\n" +
       cut(3, "Маршрут", 6, 4), ""},
      {"OpenDocument: cells as the spreadsheet shows them", Fixture("cells.ods"), TableKind::Workbook,
       "12|007|3|Вокзал  !\n7|01.03.24|Парк|\n9|9|Депо|\n9|9|Депо|\n|||две строки\n",
       "~Первая строка принята за заголовок: Номер; Откуда\n", ""},
      {"workbook of the writer", workbook, TableKind::Workbook,
       "007|=1+2|-Вокзал|\"Мира\"; 'x\n'|@a|+7 Депо|_x0041_ \x01\n", gridHeader, ""},
      {"workbook cut short", workbook.substr(0, workbook.size() / 2), TableKind::Workbook, "", "",
       "не целый zip"},
      {"a table is no workbook", "1;2\r\n", TableKind::Workbook, "", "", "не целый zip"},
      {"Excel's password", Fixture("password.xlsx"), TableKind::Workbook, "", "", "паролем"},
      {"zip encryption", Fixture("zipcrypto.xlsx"), TableKind::Workbook, "", "", "паролем"},
      {"OpenDocument password", Fixture("password.ods"), TableKind::Workbook, "", "", "паролем"},
      {"macros only", Fixture("macros.xlsx"), TableKind::Workbook, "", "", "только макросы"},
      {"OpenDocument macros only", Fixture("macros.ods"), TableKind::Workbook, "", "", "только макросы"},
      {"no sheet", Fixture("nosheet.ods"), TableKind::Workbook, "", "", "нет листа"},
  };
  // clang-format on
  for (const Case& c : cases) {
    StoredRouteList stored = ListOf({{"old", "", "", ""}});
    const TableRead read = ParseRouteTable(c.bytes, c.kind, stored);
    std::string lines;
    for (const IntakeLine& line : read.lines)
      lines += (line.colour == kBlue ? "~" : line.colour == kRed ? "" : "?") +
               cp1251::ToUtf8(line.text) + "\n";
    EXPECT_EQ(Shown(stored), c.routes) << c.name;
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_NE(read.refusal.find(c.refusal), std::string::npos) << c.name << ": " << read.refusal;
    EXPECT_EQ(read.refusal.empty(), *c.refusal == '\0') << c.name << ": " << read.refusal;
  }
}

TEST(RouteTableReader, KeepsTheFirst256RowsWithTheWarning) {
  for (int rows : {256, 300}) {
    std::string table;
    for (int i = 1; i <= rows; ++i) table += std::to_string(i) + ";a\r\n";
    StoredRouteList stored;
    const TableRead read = ParseRouteTable(table, TableKind::Csv, stored);
    EXPECT_EQ(stored.count, 256);
    EXPECT_EQ(stored.records[255].Get(kDesignation), "256");
    const std::vector<IntakeLine> cut{{TooManyRoutesText(), kRed}};
    EXPECT_EQ(read.lines, rows > 256 ? cut : std::vector<IntakeLine>());
  }
}

TEST(RouteTableWriter, SpreadsheetFormReadsBackCellForCell) {
  StoredRouteList stored;
  const RouteTexts routes[] = {
      {"12", Cp("Вокзал"), Cp("Парк"), ""},
      {Cp(" 5А"), Cp("Рынок;ТЦ"), Cp("Ул. \"Мира\""), Cp("хвост ")},
      {"a,b", "", Cp("две\r\nстроки"), "\t"},
      {"=1+2", Cp("-Вокзал"), "'x", "@a"},
  };
  for (const RouteTexts& r : routes) stored.records[stored.count++].SetTexts(r);
  const std::string table = WriteRouteTable(stored);

  ASSERT_EQ(table.rfind("\xEF\xBB\xBF", 0), 0u);
  const auto rows = ReadCsv(table.substr(3), ';');
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Маршрут", "Начальная остановка",
                                               "Конечная остановка", "Дополнительное сообщение"}));
  for (std::size_t i = 0; i < 3; ++i) {
    std::vector<std::string> expected;
    for (const std::string& cell : routes[i]) expected.push_back(cp1251::ToUtf8(cell));
    if (i == 2) expected[3] = "'\t";  // a leading tab is marked like a formula
    EXPECT_EQ(rows[i + 1], expected) << "route " << i + 1;
  }
  // What a spreadsheet would take for a formula is text behind an apostrophe, inside quotes.
  EXPECT_EQ(rows[4], (std::vector<std::string>{"'=1+2", "'-Вокзал", "''x", "'@a"}));
  EXPECT_NE(table.find("\"'=1+2\";"), std::string::npos);
  // Every line ends with CR LF; only quoted cells hold other line breaks.
  EXPECT_EQ(table.substr(table.size() - 2), "\r\n");
  EXPECT_NE(table.find("\"две\r\nстроки\""), std::string::npos);
  EXPECT_NE(table.find("\r\n\" 5А\";"), std::string::npos);
  EXPECT_NE(table.find("\r\na,b;;"), std::string::npos) << "a comma needs no quotes under \";\"";

  // The program's own reader takes it back, but for the line break's blank.
  StoredRouteList back;
  EXPECT_EQ(ParseRouteTable(table, TableKind::Csv, back).lines.size(), 1u) << "the header's line";
  ASSERT_EQ(back.count, 4);
  for (int i : {0, 1, 3}) EXPECT_EQ(back.records[i].Texts(), routes[i]) << i;
  EXPECT_EQ(back.records[2].Get(kFinalStop), Cp("две строки"));
}

// LibreOffice keeps the writer's apostrophe as part of the text and saves the cell back
// without quotes; either form gives the same .mrp.
TEST(RouteTableWriter, TextsComeBackQuotedOrAsASpreadsheetSavesThem) {
  const struct { const char* text; const char* cell; } cases[] = {  // the cell as written
      {"=Вокзал", "\"'=Вокзал\""},     {"+7 (495) 123-45-67", "\"'+7 (495) 123-45-67\""},
      {"-Площадь", "\"'-Площадь\""},   {"@Т", "\"'@Т\""},
      {"\tТаб", "\"'\tТаб\""},         {"'Кавычка", "\"''Кавычка\""},
      {"'=Вокзал", "\"''=Вокзал\""},   {"'", "\"''\""},
      {"''", "\"'''\""},               {"Вокзал", "Вокзал"},
  };
  const FixedDateTimeFormat format;
  const test::FakeClock clock;
  for (const auto& c : cases) {
    const StoredRouteList stored = ListOf({{"1", "", "", Cp(c.text)}});
    const std::string written = WriteRouteTable(stored);
    EXPECT_NE(written.find("\r\n1;;;" + std::string(c.cell) + "\r\n"), std::string::npos) << c.text;
    std::string saved = written.substr(3);  // no byte-order mark, no quotes
    saved.erase(std::remove(saved.begin(), saved.end(), '"'), saved.end());
    for (const std::string& table : {written, saved}) {
      StoredRouteList back;
      ParseRouteTable(table, TableKind::Csv, back);
      EXPECT_EQ(WriteRouteList(back, format, clock.Now()), WriteRouteList(stored, format, clock.Now()))
          << c.text << (table == saved ? " unquoted" : " quoted");
    }
  }
}
