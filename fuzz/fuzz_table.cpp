// The CSV and TSV reader on any bytes, as both kinds. A list read, written as a table and
// read again must come back unchanged: what the reader keeps, the writer can carry (but for
// routes of blanks only, which are blank rows in a spreadsheet).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "sheets/tablefile.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (TableKind kind : {TableKind::Csv, TableKind::Tsv}) {
    auto first = std::make_unique<StoredRouteList>();
    ParseRouteTable(bytes, kind, *first);
    if (first->count < 0 || first->count > kStoredRoutes) std::abort();
    auto back = std::make_unique<StoredRouteList>();
    // Read back, the table gives only the line about its header, and the same routes.
    if (ParseRouteTable(WriteRouteTable(*first), TableKind::Csv, *back).lines.size() != 1)
      std::abort();
    if (fuzz::RoutesWithText(*back) != fuzz::RoutesWithText(*first)) std::abort();
  }
  return 0;
}
