// routes, convert, image: the route files and the route image.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "base/clock.h"
#include "base/fileio.h"
#include "clihost.h"
#include "commands.h"
#include "device/routeimage.h"
#include "json.h"
#include "routes/routelistfile.h"
#include "sheets/tablefile.h"
#include "sheets/workbookwriter.h"

namespace velmora::cli {
namespace {

constexpr const char* kRoutesHelp =
    "Usage: velmora-cli routes FILE\n"
    "\n"
    "Reads FILE by its extension (letter case ignored): a Dorlan route group (.mrg), a\n"
    "table (.csv, .tsv) or workbook (.xlsx, .ods: its first worksheet), this command's own\n"
    "JSON (.json), a route list otherwise; and\n"
    "prints its routes as JSON:\n"
    "  {\"routes\": [{\"designation\": \"12\", \"start\": \"...\", \"final\": \"...\", "
    "\"message\": \"\"}, ...]}\n"
    "Warnings go to standard error.\n";

constexpr const char* kConvertHelp =
    "Usage: velmora-cli convert IN OUT\n"
    "\n"
    "Reads IN as 'routes' does (.mrp, .mrg, .json, .csv, .tsv, .xlsx, .ods) and writes its\n"
    "routes to OUT in the form OUT's extension names:\n"
    "  .xlsx  a workbook: the column headers in row 1, every cell a text cell (so \"007\"\n"
    "         keeps its zeros); the form to use where leading zeros matter\n"
    "  .csv   a table: UTF-8 with a byte-order mark, \";\" between cells, the column headers\n"
    "         first (spreadsheets on Russian Windows open it as it is); a cell that begins\n"
    "         with = + - @ ' a tab or CR gets an apostrophe in front, so no spreadsheet\n"
    "         runs it as a formula (Velmora's reader takes the apostrophe off again)\n"
    "  .json  the 'routes' output\n"
    "  other  a route list file (.mrp), byte for byte as the window's save command writes\n"
    "         it, dated now\n"
    "Tables are read as UTF-16 after its byte-order mark, as UTF-8 when they are valid\n"
    "UTF-8, else as Windows-1251; blank rows are skipped, a first line \"sep=X\" sets the\n"
    "delimiter, and a first row that is a header is skipped with a note. A route list\n"
    "holds 256 routes and each text its capacity; characters without a Windows-1251 byte\n"
    "become \"?\" (warnings on standard error). OUT is replaced only when the whole file\n"
    "has been written.\n";

constexpr const char* kImageHelp =
    "Usage: velmora-cli image FILE [-o OUT]\n"
    "\n"
    "Builds the route image that a transfer writes into the КАДО from FILE's routes\n"
    "(read as 'routes' does): binary to OUT, or a hex dump to standard output.\n"
    "Routes that do not fit into 8192 bytes are left out with a warning on standard error.\n"
    "\n"
    "  -o, --output OUT   write the image's bytes to OUT\n";

}  // namespace

int RunRoutes(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {});
  if (parsed.help) return PrintHelp(kRoutesHelp);
  if (!parsed.error.empty()) return UsageError("routes", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "routes", 1, 1, code)) return code;

  CliHost host;
  auto stored = std::make_unique<StoredRouteList>();
  if (const int read = ReadRoutes(parsed.positional[0], *stored, host); read != kExitOk) return read;

  std::fputs(RoutesJson(*stored).c_str(), stdout);
  return kExitOk;
}

int RunConvert(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {});
  if (parsed.help) return PrintHelp(kConvertHelp);
  if (!parsed.error.empty()) return UsageError("convert", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "convert", 2, 2, code)) return code;
  const std::string& outPath = parsed.positional[1];
  const std::string outKind = LowerExtensionOf(outPath);
  if (outKind == ".tsv" || outKind == ".mrg" || outKind == ".ods") {
    return UsageError("convert",
                      "cannot write " + outKind + " files (OUT is .mrp, .csv, .xlsx or .json)");
  }

  CliHost host;
  auto stored = std::make_unique<StoredRouteList>();
  if (const int read = ReadRoutes(parsed.positional[0], *stored, host); read != kExitOk) return read;
  std::string bytes;
  if (outKind == ".csv") {
    bytes = WriteRouteTable(*stored);
  } else if (outKind == ".xlsx") {
    WorkbookWrite workbook = WriteRouteWorkbook(*stored);
    if (!workbook.error.empty()) return Failure(outPath + ": " + workbook.error);
    bytes = std::move(workbook.bytes);
  } else if (outKind == ".json") {
    bytes = RoutesJson(*stored);
  } else {
    const FixedDateTimeFormat format;
    const SystemClock clock;
    bytes = WriteRouteList(*stored, format, clock.Now());
  }
  return WriteOutput(outPath, bytes) ? kExitOk : kExitFailure;
}

int RunImage(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {{"--output", "-o", OptionSpec::Value}});
  if (parsed.help) return PrintHelp(kImageHelp);
  if (!parsed.error.empty()) return UsageError("image", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "image", 1, 1, code)) return code;

  CliHost host;
  auto stored = std::make_unique<StoredRouteList>();
  if (const int read = ReadRoutes(parsed.positional[0], *stored, host); read != kExitOk) return read;
  auto work = std::make_unique<WorkBuffer>();
  const RouteImageLayout layout = BuildRouteImage(*stored, *work);
  ReportRoutesLeftOut(layout, *stored, host);
  const int length = layout.length < 0 ? 0 : std::min(layout.length, kMaxRouteImageSize);
  const std::string bytes(reinterpret_cast<const char*>(work->data()), static_cast<std::size_t>(length));
  if (parsed.Has("--output")) {
    return WriteOutput(parsed.Value("--output"), bytes) ? kExitOk : kExitFailure;
  }
  std::string dump;
  for (int at = 0; at < length; at += 16) {
    char line[16];
    std::snprintf(line, sizeof line, "%04x:", at);
    dump += line;
    for (int k = at; k < at + 16 && k < length; ++k) {
      std::snprintf(line, sizeof line, " %02x", static_cast<unsigned>(work->at(static_cast<std::size_t>(k))));
      dump += line;
    }
    dump += '\n';
  }
  std::fputs(dump.c_str(), stdout);
  return kExitOk;
}

}  // namespace velmora::cli
