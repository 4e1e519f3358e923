// Routes that come in as Unicode texts (a table, a workbook, a script's JSON) on their way
// into the stored route list.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "base/messagesink.h"
#include "routes/routerecord.h"

namespace velmora {

// One row of a table or worksheet as the spreadsheet shows it: its row number there
// (1 = the first row) and its cells from column A.
struct TableRow {
  int number = 0;
  std::vector<std::u32string> cells;
};

// A line for the message log (CP1251).
struct IntakeLine {
  std::string text;
  LogColour colour;
  bool operator==(const IntakeLine& o) const { return text == o.text && colour == o.colour; }
};

// The first 256 routes are kept; each field is cut to its capacity and characters without
// a CP1251 byte become "?", each with a warning naming the row (or route) and field.
class RouteIntake {
 public:
  using Fields = std::array<std::u32string, kRouteFields>;

  explicit RouteIntake(StoredRouteList& stored);  // clears `stored`
  // A route of the JSON form; warnings name it by its place in the list.
  void Add(const Fields& fields);
  // The rows of a table or worksheet: rows whose four cells are blank are passed over; the
  // first other row is a header when it holds the grid's headers or its first cell more
  // than four characters with a letter among them (a designation never does), and is
  // skipped with a line that says so. Warnings name the spreadsheet row.
  void AddRows(const std::vector<TableRow>& rows);
  bool Full() const;  // 256 routes taken; a further route only counts as cut
  // The log lines so far, the warning for a cut list last.
  std::vector<IntakeLine> Lines() const;

 private:
  void Take(const Fields& fields, const std::string& where);

  StoredRouteList& stored_;
  std::vector<IntakeLine> lines_;
  bool truncated_ = false;
};

// A row whose four cells are empty or blanks only.
bool IsBlankRow(const TableRow& row);
// Rows beyond a header and one route more than the list holds change nothing: readers stop
// collecting there, and leave out blank rows, so a large file costs no more memory.
constexpr std::size_t kMaxTableRows = kStoredRoutes + 2;

// The line that tells which row was taken for the header (CP1251).
std::string HeaderSkippedText(const TableRow& row);

}  // namespace velmora
