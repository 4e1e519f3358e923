// The route table: the grid's working copy (rows 1..N, as the grid numbers them), the
// stored route list behind it, the route count, the cursor and the modified flag.
// The window's grid is a view over this class.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "routerecord.h"

namespace velmora {

// Status panel 2 when add is refused at the size of the stored route list (CP1251).
std::string RouteLimitText();

// Pasted text under the rules of typing: a character without a Windows-1251 byte (or a
// control character) is dropped, each line break (CR LF, CR or LF) and each tab becomes
// one blank, and the text ends after `room` characters; what lies beyond is not looked at.
struct PastedText {
  std::string text;      // CP1251
  bool dropped = false;  // a character was dropped: one beep for the whole paste
};
PastedText CleanPastedText(std::u32string_view text, std::size_t room);

class RouteTable {
 public:
  RouteTable();

  int RouteCount() const;          // N
  int RowCount() const;            // max(N, 1) + 1, header row included
  int CursorRow() const;           // 1-based grid row
  int CursorColumn() const;        // 0..4
  void SetCursor(int row, int column);  // clamped into the grid

  // Column 0 is the row number ("" on the placeholder row); columns 1..4 the texts.
  std::string Cell(int row, int column) const;
  // An edit from the cell editor: cut to the field's capacity (4, 16, 16, 256).
  void SetCell(int row, int column, const std::string& text);

  bool Modified() const;
  void SetModified(bool modified);

  StoredRouteList& Stored();
  const StoredRouteList& Stored() const;

  enum class AddResult { Added, Full };
  AddResult Add();        // after the cursor row; refuses at 256 routes
  void Delete();          // the cursor row; nothing with N = 0
  void MoveUp();
  void MoveDown();
  void UndoAll();         // LoadGridFromStored, then clean
  void LoadGridFromStored();
  void Clear();           // close: stored list cleared, placeholder row, clean
  // Saving: the cells of row `row` go into stored record `row`.
  void WriteRowToStored(int row);
  // The grid's routes as a save would store them (records past N are left as they are).
  void CopyGridTo(StoredRouteList& out) const;

  // The key filter for one typed character (Unicode), checked against the cursor cell.
  enum class KeyVerdict {
    PassQuiet,   // Ctrl+C: passed on, flag untouched, no refresh
    Pass,        // passed on; the modified flag is now set; refresh the window
    Refuse,      // discarded with the default beep; nothing changed
  };
  KeyVerdict FilterKey(char32_t ch);
  // The same, checked against the text the cell editor holds right now (CP1251), which
  // may differ from the committed cell while the operator types.
  KeyVerdict FilterKey(char32_t ch, const std::string& editorText);
  // Enter: moves one row down unless on the last; the modified flag is left alone.
  void EnterPressed();

  // Spreadsheet copy: the cells of routes top..bottom, columns left..right (the number
  // column and the placeholder row left out) as tab-separated lines, each ended by "\n".
  std::string CopyCells(int top, int left, int bottom, int right) const;
  // Spreadsheet paste: tab-separated lines written from the cursor cell rightwards and
  // downwards, each cell under the paste rules and cut to its field's capacity; routes
  // are added at the end as needed, up to the size of the stored route list.
  struct PasteResult {
    bool pasted = false;   // something was written; the modified flag is set
    bool dropped = false;  // characters were dropped (the beep)
    bool cut = false;      // lines beyond route 256 were left out (RouteLimitText)
  };
  PasteResult PasteCells(std::u32string_view text);

  // Called after every change of rows, cells, cursor or flag.
  void SetListener(std::function<void()> listener);

 private:
  void Notify();

  StoredRouteList stored_;
  std::vector<RouteTexts> rows_;  // grid rows 1..RowCount()-1
  int routeCount_ = 0;
  int cursorRow_ = 1;
  int cursorColumn_ = 1;
  bool modified_ = false;
  std::function<void()> listener_;
};

}  // namespace velmora
