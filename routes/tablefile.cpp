#include "tablefile.h"

#include <algorithm>

#include "cp1251.h"
#include "routelistfile.h"

namespace velmora {
namespace {

constexpr char32_t kQuote = U'"';
constexpr char32_t kCr = U'\r';
constexpr char32_t kLf = U'\n';
constexpr char32_t kTab = U'\t';

bool ValidUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = utf8::SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::u32string DecodeTable(const std::string& bytes) {
  if (!ValidUtf8(bytes)) return cp1251::Decode(bytes);
  std::u32string text = utf8::Decode(bytes);
  if (!text.empty() && text.front() == U'\uFEFF') text.erase(0, 1);
  return text;
}

// Letter case of Latin and Cyrillic, enough to compare the column headers.
char32_t Lower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

std::u32string Trimmed(const std::u32string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && (s[begin] == U' ' || s[begin] == kTab)) ++begin;
  while (end > begin && (s[end - 1] == U' ' || s[end - 1] == kTab)) --end;
  return s.substr(begin, end - begin);
}

bool IsHeaderLine(const std::vector<std::u32string>& cells) {
  if (cells.size() < static_cast<std::size_t>(kRouteFields)) return false;
  for (int f = 0; f < kRouteFields; ++f) {
    const std::u32string header = utf8::Decode(kFieldHeader[f]);
    const std::u32string cell = Trimmed(cells[static_cast<std::size_t>(f)]);
    if (cell.size() != header.size()) return false;
    for (std::size_t i = 0; i < cell.size(); ++i) {
      if (Lower(cell[i]) != Lower(header[i])) return false;
    }
  }
  return true;
}

char32_t FindDelimiter(const std::u32string& text) {
  bool quoted = false;
  for (char32_t c : text) {
    if (c == kQuote) {
      quoted = !quoted;
    } else if (!quoted) {
      if (c == kCr || c == kLf) break;
      if (c == U';' || c == U',' || c == kTab) return c;
    }
  }
  return U';';
}

// RFC 4180 records. A quote opens a quoted cell only as the cell's first
// character; text after a closing quote is kept; an unclosed quote runs to the
// end of the text.
class TableRecords {
 public:
  TableRecords(const std::u32string& text, char32_t delimiter)
      : text_(text), delimiter_(delimiter) {}

  // The next record that holds anything; false at the end of the text.
  bool Next(std::vector<std::u32string>& cells) {
    while (at_ < text_.size()) {
      cells.assign(1, std::u32string());
      bool quoted = false, cellStarted = false;
      while (at_ < text_.size()) {
        const char32_t c = text_[at_++];
        if (quoted) {
          if (c == kQuote && at_ < text_.size() && text_[at_] == kQuote) {
            cells.back() += kQuote;
            ++at_;
          } else if (c == kQuote) {
            quoted = false;
          } else if (c == kCr || c == kLf) {
            if (c == kCr && at_ < text_.size() && text_[at_] == kLf) ++at_;
            cells.back() += U' ';
          } else {
            cells.back() += c;
          }
        } else if (c == kQuote && !cellStarted) {
          quoted = cellStarted = true;
        } else if (c == delimiter_) {
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
      const bool empty = cells.size() == 1 && cells.front().empty() && !cellStarted;
      if (!empty) return true;
    }
    return false;
  }

 private:
  const std::u32string& text_;
  const char32_t delimiter_;
  std::size_t at_ = 0;
};

bool NeedsQuotes(const std::string& cell) {
  if (cell.empty()) return false;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  if (blank(cell.front()) || blank(cell.back())) return true;
  return cell.find_first_of(";\"\r\n") != std::string::npos;
}

std::string CsvCell(const std::string& cp1251) {
  const std::string utf8 = cp1251::ToUtf8(cp1251);
  if (!NeedsQuotes(cp1251)) return utf8;
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

RouteIntake::RouteIntake(StoredRouteList& stored) : stored_(stored) { stored_.Clear(); }

bool RouteIntake::Full() const { return stored_.count >= kStoredRoutes; }

void RouteIntake::Add(const Fields& fields) {
  if (Full()) {
    truncated_ = true;
    return;
  }
  const int route = stored_.count + 1;
  RouteRecord& record = stored_.records[static_cast<std::size_t>(stored_.count)];
  for (int f = 0; f < kRouteFields; ++f) {
    std::u32string text = fields[static_cast<std::size_t>(f)];
    // A zero cannot be part of a zero-terminated text.
    text.erase(std::remove(text.begin(), text.end(), U'\0'), text.end());
    if (text.size() > kFieldCapacity[f]) text.resize(kFieldCapacity[f]);
    std::string bytes;
    bool replaced = false;
    for (char32_t c : text) {
      unsigned char byte = '?';
      if (!cp1251::FromUnicode(c, byte)) replaced = true;
      bytes += static_cast<char>(byte);
    }
    record.Set(f, bytes);
    if (replaced) {
      warnings_.push_back(Cp("***Маршрут ") + std::to_string(route) + ", " + Cp(kFieldHeader[f]) +
                          Cp(": знаки без кода Windows-1251 заменены на \"?\""));
    }
  }
  ++stored_.count;
}

std::vector<std::string> RouteIntake::Warnings() const {
  std::vector<std::string> warnings = warnings_;
  if (truncated_) warnings.push_back(TooManyRoutesText());
  return warnings;
}

TableWarnings ParseRouteTable(const std::string& bytes, TableKind kind, StoredRouteList& stored) {
  RouteIntake intake(stored);
  const std::u32string text = DecodeTable(bytes);
  TableRecords records(text, kind == TableKind::Tsv ? kTab : FindDelimiter(text));
  std::vector<std::u32string> cells;
  bool first = true;
  while (records.Next(cells)) {
    if (first && IsHeaderLine(cells)) {
      first = false;
      continue;
    }
    first = false;
    if (intake.Full()) {
      intake.Add({});  // one more is enough to know the list was cut
      break;
    }
    RouteIntake::Fields fields;
    for (std::size_t f = 0; f < fields.size() && f < cells.size(); ++f) fields[f] = cells[f];
    intake.Add(fields);
  }
  return intake.Warnings();
}

std::string WriteRouteTable(const StoredRouteList& stored) {
  std::string table = "\xEF\xBB\xBF";
  for (int f = 0; f < kRouteFields; ++f) {
    if (f > 0) table += ';';
    table += kFieldHeader[f];
  }
  table += "\r\n";
  const int count = stored.count < 0               ? 0
                    : stored.count > kStoredRoutes ? kStoredRoutes
                                                   : stored.count;
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
