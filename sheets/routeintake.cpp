#include "routeintake.h"

#include <algorithm>

#include "base/cp1251.h"
#include "base/textbytes.h"
#include "routes/routelistfile.h"

namespace velmora {
namespace {

bool IsLetter(char32_t c) {
  const char32_t lower = FoldCase(c);
  return (lower >= U'a' && lower <= U'z') || (lower >= 0x430 && lower <= 0x45F);
}

bool IsBlank(char32_t c) {
  // A zero is dropped from every text, so a cell of zeros is as empty as one of blanks.
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\u00A0' || c == U'\0';
}

std::u32string Trimmed(const std::u32string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

const std::u32string& Cell(const TableRow& row, int field) {
  static const std::u32string empty;
  const auto f = static_cast<std::size_t>(field);
  return f < row.cells.size() ? row.cells[f] : empty;
}

bool IsHeaderRow(const TableRow& row) {
  const std::u32string first = Trimmed(Cell(row, 0));
  if (first.size() > kFieldCapacity[kDesignation] &&
      std::any_of(first.begin(), first.end(), IsLetter))
    return true;
  for (int f = 0; f < kRouteFields; ++f) {
    const std::u32string header = utf8::Decode(kFieldHeader[f]);
    const std::u32string cell = Trimmed(Cell(row, f));
    if (cell.size() != header.size()) return false;
    for (std::size_t i = 0; i < cell.size(); ++i) {
      if (FoldCase(cell[i]) != FoldCase(header[i])) return false;
    }
  }
  return true;
}

// A line break inside a cell becomes one blank: a route text is one line.
std::u32string OneLine(const std::u32string& cell) {
  std::u32string line;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] == U'\r' && i + 1 < cell.size() && cell[i + 1] == U'\n') continue;
    line += cell[i] == U'\r' || cell[i] == U'\n' ? U' ' : cell[i];
  }
  return line;
}

}  // namespace

bool IsBlankRow(const TableRow& row) {
  for (int f = 0; f < kRouteFields; ++f) {
    if (!Trimmed(Cell(row, f)).empty()) return false;
  }
  return true;
}

std::string HeaderSkippedText(const TableRow& row) {
  constexpr std::size_t kShown = 40;  // a header cell can be any length; the log line is not
  std::string text = Cp("Первая строка принята за заголовок: ");
  std::size_t cells = std::min<std::size_t>(row.cells.size(), kRouteFields);
  while (cells > 0 && Trimmed(row.cells[cells - 1]).empty()) --cells;
  for (std::size_t f = 0; f < cells; ++f) {
    std::u32string cell = Trimmed(row.cells[f]);
    if (cell.size() > kShown) cell = cell.substr(0, kShown) + U'\u2026';
    text += (f > 0 ? "; " : "") + cp1251::Encode(OneLine(cell));
  }
  return text;
}

RouteIntake::RouteIntake(StoredRouteList& stored) : stored_(stored) { stored_.Clear(); }

bool RouteIntake::Full() const { return stored_.count >= kStoredRoutes; }

void RouteIntake::Add(const Fields& fields) {
  Take(fields, Cp("Маршрут ") + std::to_string(stored_.count + 1));
}

void RouteIntake::AddRows(const std::vector<TableRow>& rows) {
  bool first = true;
  for (const TableRow& row : rows) {
    if (IsBlankRow(row)) continue;
    if (first && IsHeaderRow(row)) {
      lines_.push_back({HeaderSkippedText(row), kBlue});
      first = false;
      continue;
    }
    first = false;
    if (Full()) {
      truncated_ = true;
      return;
    }
    Fields fields;
    for (int f = 0; f < kRouteFields; ++f) fields[f] = OneLine(Cell(row, f));
    Take(fields, Cp("Строка ") + std::to_string(row.number));
  }
}

void RouteIntake::Take(const Fields& fields, const std::string& where) {
  if (Full()) {
    truncated_ = true;
    return;
  }
  RouteRecord& record = stored_.records[static_cast<std::size_t>(stored_.count)];
  for (int f = 0; f < kRouteFields; ++f) {
    std::u32string text = fields[static_cast<std::size_t>(f)];
    // A zero cannot be part of a zero-terminated text.
    text.erase(std::remove(text.begin(), text.end(), U'\0'), text.end());
    const std::string field = "***" + where + ", " + Cp(kFieldHeader[f]);
    if (text.size() > kFieldCapacity[f]) {
      lines_.push_back({field + Cp(": текст длиной ") + std::to_string(text.size()) +
                            Cp(" знаков обрезан до ") + std::to_string(kFieldCapacity[f]),
                        kRed});
      text.resize(kFieldCapacity[f]);
    }
    std::string bytes;
    bool replaced = false;
    for (char32_t c : text) {
      unsigned char byte = '?';
      if (!cp1251::FromUnicode(c, byte)) replaced = true;
      bytes += static_cast<char>(byte);
    }
    record.Set(f, bytes);
    if (replaced)
      lines_.push_back({field + Cp(": знаки без кода Windows-1251 заменены на \"?\""), kRed});
  }
  ++stored_.count;
}

std::vector<IntakeLine> RouteIntake::Lines() const {
  std::vector<IntakeLine> lines = lines_;
  if (truncated_) lines.push_back({TooManyRoutesText(), kRed});
  return lines;
}

}  // namespace velmora
