#include "routetable.h"

#include <algorithm>
#include <utility>

#include "base/cp1251.h"

namespace velmora {

PastedText CleanPastedText(std::u32string_view text, std::size_t room) {
  PastedText out;
  for (std::size_t i = 0; i < text.size() && out.text.size() < room; ++i) {
    const char32_t ch = text[i];
    if (ch == U'\r' || ch == U'\n' || ch == U'\t') {
      if (ch == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      out.text += ' ';
      continue;
    }
    unsigned char byte;
    if (ch < 32 || ch == 0x7F || !cp1251::FromUnicode(ch, byte)) {
      out.dropped = true;
      continue;
    }
    out.text += static_cast<char>(byte);
  }
  return out;
}

std::string RouteLimitText() { return Cp("Достигнуто наибольшее число маршрутов: 256"); }

RouteTable::RouteTable() : rows_(1) {}

int RouteTable::RouteCount() const { return routeCount_; }
int RouteTable::RowCount() const { return std::max(routeCount_, 1) + 1; }
int RouteTable::CursorRow() const { return cursorRow_; }
int RouteTable::CursorColumn() const { return cursorColumn_; }

void RouteTable::SetCursor(int row, int column) {
  row = std::clamp(row, 1, RowCount() - 1);
  column = std::clamp(column, 0, kRouteFields);
  if (row == cursorRow_ && column == cursorColumn_) return;
  cursorRow_ = row;
  cursorColumn_ = column;
  Notify();
}

std::string RouteTable::Cell(int row, int column) const {
  if (row < 1 || row >= RowCount() || column < 0 || column > kRouteFields) return {};
  if (column == 0) return row <= routeCount_ ? std::to_string(row) : std::string();
  return rows_[row - 1][column - 1];
}

void RouteTable::SetCell(int row, int column, const std::string& text) {
  // The placeholder row and the number column are not editable.
  if (row < 1 || row > routeCount_ || column < 1 || column > kRouteFields) return;
  std::string cut = text.substr(0, kFieldCapacity[column - 1]);
  std::string& cell = rows_[row - 1][column - 1];
  if (cell == cut) return;
  cell = std::move(cut);
  // Normally the key filter has set the flag already; a change that came another way
  // (a paste from the editor's menu) must not leave the grid differing from a clean list.
  modified_ = true;
  Notify();
}

bool RouteTable::Modified() const { return modified_; }

void RouteTable::SetModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  Notify();
}

StoredRouteList& RouteTable::Stored() { return stored_; }
const StoredRouteList& RouteTable::Stored() const { return stored_; }

RouteTable::AddResult RouteTable::Add() {
  if (routeCount_ >= kStoredRoutes) return AddResult::Full;
  const bool wasEmpty = routeCount_ == 0;
  const int insertRow = wasEmpty ? 1 : cursorRow_ + 1;
  ++routeCount_;
  if (wasEmpty) {
    rows_[0] = RouteTexts{};
  } else {
    rows_.insert(rows_.begin() + (insertRow - 1), RouteTexts{});
  }
  cursorRow_ = insertRow;
  modified_ = true;
  Notify();
  return AddResult::Added;
}

void RouteTable::Delete() {
  if (routeCount_ == 0) return;
  const int row = cursorRow_;
  const int target = std::max(row - 1, 1);
  --routeCount_;
  if (rows_.size() == 1) {
    rows_[0] = RouteTexts{};
  } else {
    rows_.erase(rows_.begin() + (row - 1));
  }
  cursorRow_ = target;
  modified_ = true;
  Notify();
}

void RouteTable::MoveUp() {
  if (routeCount_ == 0 || cursorRow_ <= 1) return;
  std::swap(rows_[cursorRow_ - 1], rows_[cursorRow_ - 2]);
  --cursorRow_;
  modified_ = true;
  Notify();
}

void RouteTable::MoveDown() {
  if (routeCount_ == 0 || cursorRow_ >= routeCount_) return;
  std::swap(rows_[cursorRow_ - 1], rows_[cursorRow_]);
  ++cursorRow_;
  modified_ = true;
  Notify();
}

void RouteTable::UndoAll() {
  LoadGridFromStored();
  SetModified(false);
}

void RouteTable::LoadGridFromStored() {
  const int count = std::clamp(stored_.count, 0, kStoredRoutes);
  rows_.assign(static_cast<std::size_t>(std::max(count, 1)), RouteTexts{});
  routeCount_ = count;
  for (int i = 0; i < count; ++i) rows_[i] = stored_.records[i].Texts();
  cursorRow_ = std::min(cursorRow_, RowCount() - 1);
  Notify();
}

void RouteTable::Clear() {
  stored_.Clear();
  routeCount_ = 0;
  rows_.assign(1, RouteTexts{});
  cursorRow_ = 1;
  modified_ = false;
  Notify();
}

void RouteTable::WriteRowToStored(int row) {
  if (row < 1 || row > routeCount_ || row > kStoredRoutes) return;
  stored_.records[row - 1].SetTexts(rows_[row - 1]);
}

void RouteTable::CopyGridTo(StoredRouteList& out) const {
  out.count = std::min(routeCount_, kStoredRoutes);
  for (int i = 0; i < out.count; ++i) out.records[i].SetTexts(rows_[i]);
}

RouteTable::KeyVerdict RouteTable::FilterKey(char32_t ch) {
  return FilterKey(ch, Cell(cursorRow_, cursorColumn_));
}

RouteTable::KeyVerdict RouteTable::FilterKey(char32_t ch, const std::string& editorText) {
  if (ch == 3) return KeyVerdict::PassQuiet;  // Ctrl+C copies; it edits nothing
  if (ch >= 32) {
    unsigned char byte;
    if (!cp1251::FromUnicode(ch, byte)) return KeyVerdict::Refuse;
    // Any selection in the editor is ignored: at the limit even typing over it is refused.
    if (cursorColumn_ >= 1 && cursorColumn_ <= kRouteFields &&
        editorText.size() >= kTypingLimit[cursorColumn_ - 1]) {
      return KeyVerdict::Refuse;
    }
  }
  modified_ = true;
  Notify();
  return KeyVerdict::Pass;
}

void RouteTable::EnterPressed() {
  // A walk through the list with Enter must leave it transferable and closable.
  if (cursorRow_ < RowCount() - 1) ++cursorRow_;
  Notify();
}

std::string RouteTable::CopyCells(int top, int left, int bottom, int right) const {
  top = std::max(top, 1);
  bottom = std::min(bottom, routeCount_);
  left = std::max(left, 1);
  right = std::min(right, kRouteFields);
  std::string out;
  for (int row = top; row <= bottom; ++row) {
    for (int column = left; column <= right; ++column) {
      std::string cell = rows_[row - 1][column - 1];
      // A tab or line break read from a file would break the table's shape.
      std::replace_if(
          cell.begin(), cell.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
          ' ');
      if (column > left) out += '\t';
      out += cell;
    }
    if (left <= right) out += '\n';
  }
  return out;
}

RouteTable::PasteResult RouteTable::PasteCells(std::u32string_view text) {
  PasteResult result;
  if (text.empty()) return result;
  const int left = std::max(cursorColumn_, 1);
  int row = routeCount_ == 0 ? 1 : cursorRow_;
  int column = left;
  std::u32string cell;
  // Writes the cell gathered so far; false once the route list is full.
  const auto put = [&]() {
    if (row > kStoredRoutes) {
      result.cut = true;
      return false;
    }
    while (routeCount_ < row) {
      if (routeCount_ > 0) rows_.emplace_back();
      rows_[routeCount_] = RouteTexts{};
      ++routeCount_;
    }
    if (column <= kRouteFields) {
      PastedText clean = CleanPastedText(cell, kFieldCapacity[column - 1]);
      result.dropped = result.dropped || clean.dropped;
      rows_[row - 1][column - 1] = std::move(clean.text);
    }
    result.pasted = true;
    cell.clear();
    return true;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t ch = text[i];
    if (ch == U'\t') {
      if (!put()) break;
      ++column;
    } else if (ch == U'\r' || ch == U'\n') {
      if (ch == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      if (!put()) break;
      ++row;
      column = left;
    } else {
      cell += ch;
    }
  }
  // A last line without its line break; after one, nothing is left to write.
  if (!result.cut && (column != left || !cell.empty())) put();
  if (result.pasted) modified_ = true;
  Notify();
  return result;
}

void RouteTable::SetListener(std::function<void()> listener) { listener_ = std::move(listener); }

void RouteTable::Notify() {
  if (listener_) listener_();
}

}  // namespace velmora
