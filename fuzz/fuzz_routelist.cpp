// The .mrp reader on any bytes. A list read and written again must read back unchanged,
// and writing it once more must give the same file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "routes/routelistfile.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const FixedDateTimeFormat format;
  static const DateTime when{2026, 12, 7, 14, 5, 9, 0};
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  StoredRouteList first;
  const RouteListParse parsed = ParseRouteList(bytes, first);
  fuzz::CheckStoredList(first);
  fuzz::Check(parsed.routes == first.count, "routes differs from the stored count");
  fuzz::Check(!parsed.truncated || parsed.routes == kStoredRoutes, "truncated below 256 routes");

  const std::string written = WriteRouteList(first, format, when);
  StoredRouteList second;
  const RouteListParse reparsed = ParseRouteList(written, second);
  fuzz::CheckStoredList(second);
  fuzz::Check(!reparsed.truncated, "a written list reads as more than 256 routes");
  fuzz::Check(second.count == first.count, "written and read back: route count changed");
  for (int i = 0; i < first.count; ++i) {
    fuzz::Check(second.records[i].Texts() == first.records[i].Texts(),
                "written and read back: a route changed");
  }
  fuzz::Check(WriteRouteList(second, format, when) == written, "a second write differs");
  return 0;
}
