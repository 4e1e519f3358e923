// The workbook reader (zip, then the XML of .xlsx or .ods) on any bytes. What it reads is
// a proper stored list; written as .xlsx and read again, it comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "sheets/tablefile.h"
#include "sheets/workbookwriter.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto first = std::make_unique<StoredRouteList>();
  const TableRead read = ParseRouteTable(bytes, TableKind::Workbook, *first);
  fuzz::CheckStoredList(*first);
  if (!read.refusal.empty()) {
    fuzz::Check(first->count == 0 && read.lines.empty(), "a refused workbook left routes or lines");
    return 0;
  }
  if (first->count == 0) return 0;
  const WorkbookWrite written = WriteRouteWorkbook(*first);
  fuzz::Check(written.error.empty(), "the writer failed on a list the reader made");
  auto back = std::make_unique<StoredRouteList>();
  const TableRead again = ParseRouteTable(written.bytes, TableKind::Workbook, *back);
  fuzz::Check(again.refusal.empty() && again.lines.size() == 1, "the writer's workbook read back with warnings");
  fuzz::Check(fuzz::RoutesWithText(*back) == fuzz::RoutesWithText(*first),
              "a route changed through the writer");
  return 0;
}
