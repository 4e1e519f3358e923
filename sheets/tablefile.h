// Route lists as spreadsheets keep them: CSV and TSV tables and .xlsx/.ods workbooks, one
// route per row in the grid's column order. Readers and writers on bytes.
#pragma once
#include <string>
#include <vector>

#include "routeintake.h"
#include "routes/routerecord.h"

namespace velmora {

enum class TableKind {
  Csv,       // the delimiter is the first ";", "," or tab of the first line, outside quotes
  Tsv,       // tab
  Workbook,  // .xlsx or .ods, told apart by their content
};

struct TableRead {
  std::string refusal;            // why nothing was read (UTF-8); empty when read
  std::vector<IntakeLine> lines;  // the header line and the warnings for the log
};

// The rows of a table as a spreadsheet shows them, or why there are none.
struct TableRows {
  std::vector<TableRow> rows;
  std::string refusal;  // UTF-8
};

// CSV and TSV: a UTF-16 byte-order mark (either order) means UTF-16; otherwise UTF-8 when
// the bytes are valid UTF-8 (a byte-order mark is dropped), else Windows-1251. A zip or
// NUL bytes outside UTF-16 are refused. A first line "sep=X" sets the delimiter and is no
// row. RFC 4180 quoting; missing cells are empty, extra cells ignored; a cell the writer
// marked with an apostrophe (see WriteRouteTable), quoted or not, gets its text back.
TableRows ReadTableRows(const std::string& bytes, TableKind kind);

// Reads a table or workbook into `stored` (cleared first; left empty on a refusal) by the
// rules of RouteIntake::AddRows.
TableRead ParseRouteTable(const std::string& bytes, TableKind kind, StoredRouteList& stored);

// The open command's reader of tables (a TableReader of routes/filecommands.h): the kind by the
// extension of `path` in any letter case (".tsv" a TSV table, ".xlsx" and ".ods" a workbook, else
// CSV), the routes into `stored` and the lines to `sink`. Returns the refusal (UTF-8), "" when
// read; a refused table leaves `stored` as it was and logs nothing.
std::string ReadRouteTableFile(const std::string& path, const std::string& bytes,
                               StoredRouteList& stored, MessageSink& sink);

// The table as spreadsheets on Russian Windows open it: UTF-8 with a byte-order mark, ";"
// between cells, CR LF line ends, the column headers first, and a cell quoted when it
// holds ";", a quote, a line break or leading or trailing blanks. A cell that begins with
// "=", "+", "-", "@", a tab, a carriage return or an apostrophe gets an apostrophe in
// front, inside quotes, so that no spreadsheet takes it for a formula.
std::string WriteRouteTable(const StoredRouteList& stored);

}  // namespace velmora
