// Route lists kept as workbooks: the first worksheet of an .xlsx (Office Open XML) or .ods
// (OpenDocument) file, told apart by their content.
#pragma once
#include <string>

#include "tablefile.h"

namespace velmora {

// The rows of the first worksheet, columns A to D, each cell's text as the spreadsheet
// shows it: a number in its general form (decimal comma), a date as an ISO date, a formula
// as the value the spreadsheet saved with it, a merged or empty cell empty. A workbook
// with a password, with macros and no worksheet, with no worksheet at all, or whose zip is
// broken is refused with the reason.
TableRows ReadWorkbookRows(const std::string& bytes);

}  // namespace velmora
