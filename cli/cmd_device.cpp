// devices and transfer: the attached КАДО.
#include <cstdio>
#include <memory>

#include "base/cp1251.h"
#include "commands.h"
#include "device/transport.h"
#include "devicesession.h"
#include "json.h"

namespace velmora::cli {
namespace {

constexpr const char* kDevicesHelp =
    "Usage: velmora-cli devices [--simulate[=OPTIONS]]\n"
    "\n"
    "Lists the attached КАДО interfaces, in both identities, as JSON:\n"
    "  {\"devices\": [{\"path\": \"...\", \"mode\": \"normal\" or \"boot\", \"manufacturer\": "
    "\"...\",\n"
    "                \"product\": \"...\", \"version\": \" (v1.05)\"}]}\n"
    "Strings that cannot be read are empty.\n"
    "\n"
    "  --simulate[=OPTIONS]  list a simulated КАДО instead (see 'transfer --help')\n";

std::string TransferHelp() {
  return std::string(
             "Usage: velmora-cli transfer FILE [--simulate[=OPTIONS]] [--device-memory OUT]\n"
             "                             [--report-log OUT]\n"
             "\n"
             "Writes FILE's routes (read as 'routes' does) into the attached КАДО, as the\n"
             "window's transfer does; without a device it waits about 4 seconds for one to\n"
             "arrive. The window's status texts and log lines go to standard error, one per\n"
             "line. Exits with 0 only when the transfer ended with \"Загрузка окончена\".\n"
             "\n") +
         kDeviceOptionsHelp;
}

}  // namespace

int RunDevices(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {{"--simulate", "", OptionSpec::OptionalValue}});
  if (parsed.help) return PrintHelp(kDevicesHelp);
  if (!parsed.error.empty()) return UsageError("devices", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "devices", 0, 0, code)) return code;
  DeviceOptions options;
  if (const int read = ReadDeviceOptions(parsed, "devices", options); read != kExitOk) return read;

  std::unique_ptr<HidFunctions> hid;
  if (options.simulate) {
    hid = std::make_unique<SimKado>(options.sim);
  } else {
    hid = CreateSystemHidFunctions();
  }
  CliHost host;
  std::string out = "{\"devices\": [";
  bool first = true;
  if (hid && hid->Load()) {
    for (const HidDeviceInfo& info : hid->Enumerate()) {
      if (!IsKado(info.vendorId, info.productId)) continue;
      std::u32string manufacturer, product;
      std::string version;
      if (std::unique_ptr<HidDevice> device = hid->Open(info.path, false)) {
        if (!device->GetManufacturerString(manufacturer)) manufacturer.clear();
        if (!device->GetProductString(product)) product.clear();
        if (const std::optional<ParamReply> reply = ReadDeviceParams(*device, host)) {
          version = VersionText(reply->bytes.data());
        }
      }
      out += first ? "" : ", ";
      first = false;
      out += "{\"path\": " + JsonString(info.path);
      out += ", \"mode\": " + JsonString(IsBootLoader(info.vendorId, info.productId) ? "boot" : "normal");
      out += ", \"manufacturer\": " + JsonString(utf8::Encode(manufacturer));
      out += ", \"product\": " + JsonString(utf8::Encode(product));
      out += ", \"version\": " + JsonCp1251(version) + "}";
    }
  }
  out += "]}\n";
  std::fputs(out.c_str(), stdout);
  return kExitOk;
}

int RunTransfer(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, DeviceOptionSpecs());
  if (parsed.help) return PrintHelp(TransferHelp().c_str());
  if (!parsed.error.empty()) return UsageError("transfer", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "transfer", 1, 1, code)) return code;
  DeviceOptions options;
  if (const int read = ReadDeviceOptions(parsed, "transfer", options); read != kExitOk) return read;

  DeviceSession session(options);
  auto stored = std::make_unique<StoredRouteList>();
  if (const int read = ReadRoutes(parsed.positional[0], *stored, session.Host()); read != kExitOk) {
    return read;
  }
  // The window offers the transfer only for a list with at least one route.
  if (stored->count == 0) return Failure(parsed.positional[0] + ": the file holds no route");

  auto work = std::make_unique<WorkBuffer>();
  session.Start();
  // The identity is checked on the handle the transfer opens: a КАДО in its boot-loader
  // identity, there at the start or arriving during the wait, receives nothing.
  const int status = TransmitRoutes(session.Env(), *stored, *work);
  return session.Finish(status == kStatusOk ? kExitOk : kExitFailure);
}

}  // namespace velmora::cli
