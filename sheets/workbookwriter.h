// The stored route list as an .xlsx workbook, written with libxlsxwriter.
#pragma once
#include <string>

#include "routes/routerecord.h"

namespace velmora {

struct WorkbookWrite {
  std::string bytes;  // the whole .xlsx file
  std::string error;  // why there is none (UTF-8); empty when written
};

// One worksheet: the four column headers in row 1, a route per row after it, every cell a
// text cell (so "007" keeps its zeros and "=1+2" is no formula), columns as wide as their
// longest text.
WorkbookWrite WriteRouteWorkbook(const StoredRouteList& stored);

}  // namespace velmora
