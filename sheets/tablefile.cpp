#include "tablefile.h"

#include <algorithm>
#include <memory>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "base/textbytes.h"
#include "workbook.h"

namespace velmora {
namespace {

constexpr char32_t kQuote = U'"';
constexpr char32_t kCr = U'\r';
constexpr char32_t kLf = U'\n';
constexpr char32_t kTab = U'\t';
constexpr char32_t kApostrophe = U'\'';

// What a spreadsheet would take for the start of a formula, and the apostrophe itself so
// that a text which begins with one comes back as it was.
bool NeedsMark(char32_t c) {
  return c == U'=' || c == U'+' || c == U'-' || c == U'@' || c == kTab || c == kCr ||
         c == kApostrophe;
}

bool ValidUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = utf8::SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// The text after the byte order mark; an odd last byte is no unit.
std::u32string DecodeUtf16(const std::string& bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  return FromUtf16(units.data(), units.size());
}

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t n) {
  return bytes.size() >= n && bytes.compare(0, n, prefix, n) == 0;
}

// The text of the table, or a refusal.
std::string DecodeTable(const std::string& bytes, std::u32string& text) {
  if (StartsWith(bytes, "\xFF\xFE", 2) || StartsWith(bytes, "\xFE\xFF", 2)) {
    text = DecodeUtf16(bytes, bytes[0] == '\xFE');
    return std::string();
  }
  if (StartsWith(bytes, "PK\x03\x04", 4) || StartsWith(bytes, "PK\x05\x06", 4))
    return "это zip-архив, а не таблица CSV (книга Excel или LibreOffice под другим именем?)";
  if (bytes.find('\0') != std::string::npos)
    return "в таблице есть нулевые байты: это не текст CSV";
  if (!ValidUtf8(bytes)) {
    text = cp1251::Decode(bytes);
  } else {
    text = utf8::Decode(bytes);
    if (!text.empty() && text.front() == U'\uFEFF') text.erase(0, 1);
  }
  return std::string();
}

// Excel's "sep=X" line: X is the delimiter. The length of the line with its end, or 0.
std::size_t SeparatorLine(const std::u32string& text, char32_t& delimiter) {
  if (text.size() < 5) return 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (FoldCase(text[i]) != U"sep="[i]) return 0;
  }
  const char32_t x = text[4];
  if (x == kCr || x == kLf || x == kQuote) return 0;
  std::size_t end = 5;
  if (end < text.size() && text[end] == kCr) ++end;
  if (end < text.size() && text[end] == kLf) ++end;
  if (end == 5 && end != text.size()) return 0;  // more than one character after "sep="
  delimiter = x;
  return end;
}

char32_t FindDelimiter(const std::u32string& text, std::size_t from) {
  bool quoted = false;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c == kQuote) {
      quoted = !quoted;
    } else if (!quoted) {
      if (c == kCr || c == kLf) break;
      if (c == U';' || c == U',' || c == kTab) return c;
    }
  }
  return U';';
}

// RFC 4180 records, one per spreadsheet row, empty lines included. A quote opens a quoted
// cell only as the cell's first character; text after a closing quote is kept; an
// unclosed quote runs to the end of the text.
class TableRecords {
 public:
  TableRecords(const std::u32string& text, std::size_t from, char32_t delimiter)
      : text_(text), delimiter_(delimiter), at_(from) {}

  // The next record; false at the end of the text.
  bool Next(std::vector<std::u32string>& cells) {
    if (at_ >= text_.size()) return false;
    cells.assign(1, std::u32string());
    bool quoted = false, cellStarted = false;
    // The writer's apostrophe comes off whether the cell is quoted or not: a spreadsheet
    // keeps it as part of the text and saves the cell back without quotes. The writer marks
    // every text that begins with an apostrophe too, so one apostrophe before a marked
    // character is always the writer's.
    const auto endCell = [&] {
      std::u32string& cell = cells.back();
      if (cell.size() > 1 && cell[0] == kApostrophe && NeedsMark(cell[1])) cell.erase(0, 1);
    };
    while (at_ < text_.size()) {
      const char32_t c = text_[at_++];
      if (quoted) {
        if (c == kQuote && at_ < text_.size() && text_[at_] == kQuote) {
          cells.back() += kQuote;
          ++at_;
        } else if (c == kQuote) {
          quoted = false;
        } else {
          cells.back() += c;
        }
      } else if (c == kQuote && !cellStarted) {
        quoted = cellStarted = true;
      } else if (c == delimiter_) {
        endCell();
        cells.emplace_back();
        cellStarted = false;
      } else if (c == kCr || c == kLf) {
        if (c == kCr && at_ < text_.size() && text_[at_] == kLf) ++at_;
        break;
      } else {
        cells.back() += c;
        cellStarted = true;
      }
    }
    endCell();
    return true;
  }

 private:
  const std::u32string& text_;
  const char32_t delimiter_;
  std::size_t at_;
};

bool NeedsQuotes(const std::string& cell) {
  if (cell.empty()) return false;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  if (blank(cell.front()) || blank(cell.back())) return true;
  return cell.find_first_of(";\"\r\n") != std::string::npos;
}

std::string CsvCell(const std::string& cp1251) {
  const bool mark = !cp1251.empty() && NeedsMark(static_cast<unsigned char>(cp1251[0]));
  const std::string utf8 = (mark ? "'" : "") + cp1251::ToUtf8(cp1251);
  if (!mark && !NeedsQuotes(cp1251)) return utf8;
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

TableRows ReadTableRows(const std::string& bytes, TableKind kind) {
  if (kind == TableKind::Workbook) return ReadWorkbookRows(bytes);
  TableRows result;
  std::u32string text;
  result.refusal = DecodeTable(bytes, text);
  if (!result.refusal.empty()) return result;
  char32_t delimiter = kind == TableKind::Tsv ? kTab : U';';
  const std::size_t from = SeparatorLine(text, delimiter);
  if (from == 0 && kind == TableKind::Csv) delimiter = FindDelimiter(text, 0);
  TableRecords records(text, from, delimiter);
  // Excel shows no row for the "sep=" line: the row after it is row 1.
  TableRow row;
  while (records.Next(row.cells) && result.rows.size() < kMaxTableRows) {
    ++row.number;
    if (row.cells.size() > kRouteFields) row.cells.resize(kRouteFields);
    if (!IsBlankRow(row)) result.rows.push_back(row);
  }
  return result;
}

TableRead ParseRouteTable(const std::string& bytes, TableKind kind, StoredRouteList& stored) {
  RouteIntake intake(stored);
  const TableRows rows = ReadTableRows(bytes, kind);
  if (!rows.refusal.empty()) return {rows.refusal, {}};
  intake.AddRows(rows.rows);
  return {std::string(), intake.Lines()};
}

std::string ReadRouteTableFile(const std::string& path, const std::string& bytes,
                               StoredRouteList& stored, MessageSink& sink) {
  const std::string extension = LowerExtensionOf(path);
  TableKind kind = TableKind::Csv;
  if (extension == ".tsv") kind = TableKind::Tsv;
  if (extension == ".xlsx" || extension == ".ods") kind = TableKind::Workbook;
  auto table = std::make_unique<StoredRouteList>();
  const TableRead parsed = ParseRouteTable(bytes, kind, *table);
  if (!parsed.refusal.empty()) return parsed.refusal;
  stored = *table;
  for (const IntakeLine& line : parsed.lines) sink.AppendLogLine(line.text, line.colour);
  return std::string();
}

std::string WriteRouteTable(const StoredRouteList& stored) {
  std::string table = "\xEF\xBB\xBF";
  for (int f = 0; f < kRouteFields; ++f) {
    if (f > 0) table += ';';
    table += kFieldHeader[f];
  }
  table += "\r\n";
  const int count = std::clamp(stored.count, 0, kStoredRoutes);
  for (int i = 0; i < count; ++i) {
    const RouteRecord& record = stored.records[static_cast<std::size_t>(i)];
    for (int f = 0; f < kRouteFields; ++f) {
      if (f > 0) table += ';';
      table += CsvCell(record.Get(f));
    }
    table += "\r\n";
  }
  return table;
}

}  // namespace velmora
