// Route lists as spreadsheets keep them: CSV and TSV tables, one route per line
// in the grid's column order. Reader and writer on bytes.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "routerecord.h"

namespace velmora {

// Routes that come in as Unicode texts (a table, a script's JSON) on their way
// into the stored route list: the first 256 are kept, each field is cut to its
// capacity, and characters without a CP1251 byte become "?" with a warning
// naming the route and field.
class RouteIntake {
 public:
  using Fields = std::array<std::u32string, kRouteFields>;

  explicit RouteIntake(StoredRouteList& stored);  // clears `stored`
  void Add(const Fields& fields);
  bool Full() const;  // 256 routes taken; a further Add only counts as cut
  // The warnings so far as red log lines (CP1251), the one for a cut list last.
  std::vector<std::string> Warnings() const;

 private:
  StoredRouteList& stored_;
  std::vector<std::string> warnings_;
  bool truncated_ = false;
};

enum class TableKind {
  Csv,  // the delimiter is the first ";", "," or tab of the first line, outside
        // quotes
  Tsv,  // tab
};

// The CP1251 warnings met while reading a table (see RouteIntake).
using TableWarnings = std::vector<std::string>;

// Parses a table into `stored` (cleared first). UTF-8 when the bytes are valid
// UTF-8 (a byte-order mark is dropped), else Windows-1251. RFC 4180 quoting; a
// line break inside a quoted cell becomes a blank; a first line that holds the
// grid's four column headers (any letter case) is skipped; missing cells are
// empty, extra cells ignored, empty lines skipped.
TableWarnings ParseRouteTable(const std::string& bytes, TableKind kind, StoredRouteList& stored);

// The table as spreadsheets on Russian Windows open it: UTF-8 with a byte-order
// mark,
// ";" between cells, CR LF line ends, the column headers first, and a cell
// quoted when it holds ";", a quote, a line break or leading or trailing
// blanks.
std::string WriteRouteTable(const StoredRouteList& stored);

}  // namespace velmora
