// routes, convert, image: the route files and the route image.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "clihost.h"
#include "commands.h"
#include "device/routeimage.h"
#include "json.h"
#include "routes/clock.h"
#include "routes/cp1251.h"
#include "routes/routelistfile.h"

namespace velmora::cli {
namespace {

constexpr const char* kRoutesHelp =
    "Usage: velmora-cli routes FILE\n"
    "\n"
    "Reads FILE as the window's open command does (a Dorlan route group for .mrg,\n"
    "a route list otherwise) and prints its routes as JSON:\n"
    "  {\"routes\": [{\"designation\": \"12\", \"start\": \"...\", \"final\": \"...\", "
    "\"message\": \"\"}, ...]}\n"
    "Warnings go to standard error.\n";

constexpr const char* kConvertHelp =
    "Usage: velmora-cli convert IN OUT\n"
    "\n"
    "Reads IN as 'routes' does and writes its routes to OUT as a route list file (.mrp),\n"
    "byte for byte as the window's save command writes it, dated now. OUT is replaced\n"
    "only when the whole file has been written.\n";

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

  std::string out = "{\"routes\": [";
  for (int i = 0; i < stored->count && i < kStoredRoutes; ++i) {
    const RouteRecord& r = stored->records[static_cast<std::size_t>(i)];
    if (i > 0) out += ", ";
    out += "{\"designation\": " + JsonCp1251(r.Get(kDesignation));
    out += ", \"start\": " + JsonCp1251(r.Get(kStartStop));
    out += ", \"final\": " + JsonCp1251(r.Get(kFinalStop));
    out += ", \"message\": " + JsonCp1251(r.Get(kMessage)) + "}";
  }
  out += "]}\n";
  std::fputs(out.c_str(), stdout);
  return kExitOk;
}

int RunConvert(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {});
  if (parsed.help) return PrintHelp(kConvertHelp);
  if (!parsed.error.empty()) return UsageError("convert", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "convert", 2, 2, code)) return code;

  CliHost host;
  auto stored = std::make_unique<StoredRouteList>();
  if (const int read = ReadRoutes(parsed.positional[0], *stored, host); read != kExitOk) return read;
  const FixedDateTimeFormat format;
  const SystemClock clock;
  const std::string bytes = WriteRouteList(*stored, format, clock.Now());
  return WriteOutput(parsed.positional[1], bytes) ? kExitOk : kExitFailure;
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
  if (layout.routes < stored->count) {
    host.AppendLogLine(Cp("Поместилось только ") + std::to_string(layout.routes) + Cp(" маршрутов"),
                       kRed);
  }
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
