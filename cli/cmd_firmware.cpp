// firmware list|decode|encode and flash: the .HAS files and the firmware update.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "commands.h"
#include "device/Formatm.h"
#include "device/firmwarelist.h"
#include "device/firmwareupdate.h"
#include "device/schemefile.h"
#include "device/transport.h"
#include "devicesession.h"
#include "json.h"
#include "platform.h"

namespace velmora::cli {
namespace {

constexpr const char* kFirmwareHelp =
    "Usage: velmora-cli firmware list [DIR]\n"
    "       velmora-cli firmware decode FILE.HAS -o OUT [--schemes FILE]\n"
    "       velmora-cli firmware encode BODY -o FILE.HAS --title TITLE\n"
    "                                  --date \"YYYY-MM-DD HH:MM:SS\" [--scheme N]\n"
    "                                  [--schemes FILE]\n"
    "\n"
    "list    prints the firmware files as the window's firmware panel lists them, as JSON:\n"
    "          {\"files\": [{\"number\": 1, \"date\": \"...\", \"size\": 300, \"title\": \"...\",\n"
    "                      \"file\": \"a.HAS\"}, ...], \"newest\": 1,\n"
    "         \"schemes\": \"<path of the tables file>\" or \"built-in\"}\n"
    "        (newest is the row the panel selects, 0 when nothing is listed). Without DIR:\n"
    "        the folder of velmora-cli, then the user's firmware folder\n"
    "        ($XDG_DATA_HOME or ~/.local/share, then /velmora/firmware).\n"
    "decode  writes to OUT the bytes that a firmware update sends to the КАДО.\n"
    "encode  codes BODY (at most 65024 bytes) into a firmware file; the date is stored to\n"
    "        two seconds, the title holds at most 16 characters, the scheme is 1 to 4\n"
    "        (default 2; the program lists and writes only scheme 2).\n"
    "\n"
    "The coding tables: --schemes FILE, else kado-schemes.bin in the folder of the .HAS\n"
    "file, else kado-schemes.bin in the firmware folders above, else the built-in set. A\n"
    "tables file that is found but broken is refused (exit 1, no output).\n";

std::string FlashHelp() {
  return std::string(
             "Usage: velmora-cli flash [FILE.HAS] [--schemes FILE] [--simulate[=OPTIONS]]\n"
             "                         [--device-memory OUT] [--report-log OUT]\n"
             "\n"
             "Writes firmware into a КАДО in its boot-loader identity, as the window's firmware\n"
             "update does: the newest file that 'firmware list' shows, or with FILE the newest\n"
             "file of FILE's folder (when FILE is not the newest, the window's warning follows\n"
             "and the newest is written). Status texts and log lines go to standard error.\n"
             "Exits with 0 only when the update ended with \"Программа записана\". The coding\n"
             "tables are found as 'firmware --help' says; a broken tables file is refused\n"
             "before anything is sent.\n"
             "\n") +
         kDeviceOptionsHelp;
}

std::vector<std::string> DefaultFirmwareFolders() {
  std::vector<std::string> folders;
  for (const std::string& folder : {ExecutableFolder(), UserFirmwareFolder()}) {
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

const OptionSpec kSchemesOption{"--schemes", "", OptionSpec::Value};

// The tables for a firmware file in `firmwareFolder`; a broken file is reported as the update
// reports it, and false comes back.
bool ChooseSchemes(const ParsedArgs& parsed, const std::string& firmwareFolder, SchemeChoice& out) {
  out = FindSchemeTables(parsed.Value("--schemes"), firmwareFolder, DefaultFirmwareFolders());
  if (out.Usable()) return true;
  CliHost host;
  host.LogMessage("***" + BrokenSchemesText(out));
  return false;
}

bool ParseInt(const std::string& text, long min, long max, long& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  out = std::strtol(text.c_str(), nullptr, 10);
  return out >= min && out <= max;
}

// "YYYY-MM-DD HH:MM:SS" within what MS-DOS dates hold (1980 to 2107).
bool ParseDate(const std::string& text, DateTime& t) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':') {
    return false;
  }
  long v[6];
  const int at[6] = {0, 5, 8, 11, 14, 17}, width[6] = {4, 2, 2, 2, 2, 2};
  const long lo[6] = {1980, 1, 1, 0, 0, 0}, hi[6] = {2107, 12, 31, 23, 59, 59};
  for (int i = 0; i < 6; ++i) {
    if (!ParseInt(text.substr(static_cast<std::size_t>(at[i]), static_cast<std::size_t>(width[i])),
                  lo[i], hi[i], v[i])) {
      return false;
    }
  }
  static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (v[0] % 4 == 0 && v[0] % 100 != 0) || v[0] % 400 == 0;
  if (v[2] > kDays[v[1] - 1] || (v[1] == 2 && v[2] == 29 && !leap)) return false;
  t = DateTime{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
               static_cast<int>(v[3]), static_cast<int>(v[4]), static_cast<int>(v[5]), 0};
  return true;
}

int FirmwareList(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {});
  if (parsed.help) return PrintHelp(kFirmwareHelp);
  if (!parsed.error.empty()) return UsageError("firmware list", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "firmware list", 0, 1, code)) return code;
  const std::vector<std::string> folders =
      parsed.positional.empty() ? DefaultFirmwareFolders() : parsed.positional;

  const FixedDateTimeFormat format;
  const FirmwareListing listing = ListFirmwareFiles(folders, format, 1);
  std::string out = "{\"files\": [";
  for (std::size_t k = 0; k < listing.rows.size(); ++k) {
    const FirmwareRow& row = listing.rows[k];
    if (k > 0) out += ", ";
    out += "{\"number\": " + std::to_string(k + 1);
    out += ", \"date\": " + JsonCp1251(row.dateText);
    out += ", \"size\": " + std::to_string(row.size);
    out += ", \"title\": " + JsonCp1251(row.title);
    out += ", \"file\": " + JsonString(row.fileName) + "}";
  }
  out += "], \"newest\": " + std::to_string(listing.rows.empty() ? 0 : listing.newestRow);
  // The tables an update of the newest file would decode it with.
  const FirmwareRow* newest = NewestRow(listing);
  const std::string newestFolder =
      newest ? newest->folder : (folders.empty() ? std::string() : folders.front());
  const SchemeChoice schemes = FindSchemeTables("", newestFolder, DefaultFirmwareFolders());
  out += ", \"schemes\": " +
         (schemes.source == SchemeChoice::Source::BuiltIn ? JsonString("built-in")
                                                          : JsonString(schemes.path)) +
         "}\n";
  std::fputs(out.c_str(), stdout);
  return kExitOk;
}

int FirmwareDecode(const Args& args) {
  const ParsedArgs parsed = ParseArgs(args, {{"--output", "-o", OptionSpec::Value}, kSchemesOption});
  if (parsed.help) return PrintHelp(kFirmwareHelp);
  if (!parsed.error.empty()) return UsageError("firmware decode", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "firmware decode", 1, 1, code)) return code;
  if (parsed.Value("--output").empty()) return UsageError("firmware decode", "-o OUT is required");

  CliHost host;
  const std::string& path = parsed.positional[0];
  const FileRead file = ReadWholeFile(path, kFirmwareFileBuffer);
  if (file.status == ReadStatus::Missing || file.status == ReadStatus::CannotOpen) {
    host.LogMessage(Cp("***Файл программы не открыт"));
    return Failure(path + ": " + file.error);
  }
  if (file.status == ReadStatus::ReadShort) {
    host.LogMessage(Cp("***Файл программы не прочитан"));
    return Failure(path + ": " + file.error);
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.bytes.data());
  if (file.status != ReadStatus::Ok || !FirmwareFileUsable(bytes, file.bytes.size())) {
    host.LogMessage(Cp("***Формат файла программы неверен"));
    return kExitFailure;
  }
  SchemeChoice schemes;
  if (!ChooseSchemes(parsed, ParentFolder(parsed.positional[0]), schemes)) return kExitFailure;
  const std::vector<uint8_t> decoded = DecodeFirmware(bytes, file.bytes.size(), schemes.tables);
  const FirmwareHeader header = ParseFirmwareHeader(bytes);
  // The update writes the body from offset 512 up to its write end.
  const std::size_t end = static_cast<std::size_t>(FirmwareWriteEnd(header.size));
  if (decoded.size() < kFirmwareHeaderBlock + end) {
    host.LogMessage(Cp("***Формат файла программы неверен"));
    return kExitFailure;
  }
  const std::string body(decoded.begin() + kFirmwareHeaderBlock,
                         decoded.begin() + static_cast<std::ptrdiff_t>(kFirmwareHeaderBlock + end));
  return WriteOutput(parsed.Value("--output"), body) ? kExitOk : kExitFailure;
}

int FirmwareEncode(const Args& args) {
  const std::string who = "firmware encode";
  const ParsedArgs parsed = ParseArgs(args, {{"--output", "-o", OptionSpec::Value},
                                             {"--title", "", OptionSpec::Value},
                                             {"--date", "", OptionSpec::Value},
                                             {"--scheme", "", OptionSpec::Value},
                                             kSchemesOption});
  if (parsed.help) return PrintHelp(kFirmwareHelp);
  if (!parsed.error.empty()) return UsageError(who, parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, who, 1, 1, code)) return code;
  if (parsed.Value("--output").empty()) return UsageError(who, "-o FILE.HAS is required");
  if (!parsed.Has("--title")) return UsageError(who, "--title is required");
  if (!parsed.Has("--date")) return UsageError(who, "--date is required");

  const std::string titleUtf8 = parsed.Value("--title");
  const std::string title = cp1251::FromUtf8(titleUtf8);
  if (cp1251::ToUtf8(title) != titleUtf8) {
    return UsageError(who, "--title holds characters that Windows-1251 cannot hold");
  }
  if (title.size() > 16) return UsageError(who, "--title holds at most 16 characters");
  DateTime date;
  if (!ParseDate(parsed.Value("--date"), date)) {
    return UsageError(who, "--date wants \"YYYY-MM-DD HH:MM:SS\" between 1980 and 2107");
  }
  long scheme = 2;
  if (parsed.Has("--scheme") && !ParseInt(parsed.Value("--scheme"), 1, 4, scheme)) {
    return UsageError(who, "--scheme is 1, 2, 3 or 4");
  }

  constexpr std::size_t kMaxBody = kFirmwareFileBuffer - kFirmwareHeaderBlock;
  const FileRead body = ReadWholeFile(parsed.positional[0], kMaxBody);
  if (body.status == ReadStatus::TooLarge) {
    return Failure(parsed.positional[0] + ": a firmware body holds at most 65024 bytes");
  }
  if (body.status != ReadStatus::Ok) {
    return Failure(parsed.positional[0] + ": cannot read the file: " + body.error);
  }
  // Coded for the place the file goes to: decoding it there finds the same tables.
  SchemeChoice schemes;
  if (!ChooseSchemes(parsed, ParentFolder(parsed.Value("--output")), schemes)) return kExitFailure;
  const std::vector<uint8_t> bytes(body.bytes.begin(), body.bytes.end());
  const std::vector<uint8_t> file = EncodeFirmware(bytes, title, PackDosDateTime(date),
                                                   static_cast<int>(scheme), schemes.tables);
  if (file.empty()) return Failure("the firmware file could not be coded");
  return WriteOutput(parsed.Value("--output"), std::string(file.begin(), file.end())) ? kExitOk
                                                                                       : kExitFailure;
}

}  // namespace

int RunFirmware(const Args& args) {
  if (args.empty()) return UsageError("firmware", "missing subcommand: list, decode or encode");
  const std::string& sub = args[0];
  const Args rest(args.begin() + 1, args.end());
  if (sub == "list") return FirmwareList(rest);
  if (sub == "decode") return FirmwareDecode(rest);
  if (sub == "encode") return FirmwareEncode(rest);
  if (sub == "--help" || sub == "-h") return PrintHelp(kFirmwareHelp);
  return UsageError("firmware", "unknown subcommand " + sub);
}

int RunFlash(const Args& args) {
  std::vector<OptionSpec> known = DeviceOptionSpecs();
  known.push_back(kSchemesOption);
  const ParsedArgs parsed = ParseArgs(args, known);
  if (parsed.help) return PrintHelp(FlashHelp().c_str());
  if (!parsed.error.empty()) return UsageError("flash", parsed.error);
  int code = kExitOk;
  if (!ExpectPositional(parsed, "flash", 0, 1, code)) return code;
  DeviceOptions options;
  if (const int read = ReadDeviceOptions(parsed, "flash", options); read != kExitOk) return read;

  const bool named = !parsed.positional.empty();
  const std::vector<std::string> folders =
      named ? std::vector<std::string>{ParentFolder(parsed.positional[0])} : DefaultFirmwareFolders();
  const FixedDateTimeFormat format;
  const FirmwareListing listing = ListFirmwareFiles(folders, format, 1);
  int selected = listing.newestRow;
  if (named) {
    const std::string name = BaseName(parsed.positional[0]);
    selected = 0;
    for (std::size_t k = 0; k < listing.rows.size(); ++k) {
      if (listing.rows[k].fileName == name) selected = static_cast<int>(k) + 1;
    }
    if (selected == 0) {
      const std::string& path = parsed.positional[0];
      const FileRead probe = ReadFileStart(path, 0);
      if (probe.status == ReadStatus::Missing) return Failure(path + ": no such file");
      if (probe.status != ReadStatus::Ok)
        return Failure(path + ": cannot read the file: " + probe.error);
      return Failure(path + ": not a firmware file the program writes (.HAS, scheme 2)");
    }
  } else if (listing.rows.empty()) {
    return Failure("no firmware file (.HAS) found; give one or see 'firmware --help'");
  }

  // Before the device is reached at all: the start-up search already reads its parameters.
  const FirmwareRow* newest = NewestRow(listing);
  const std::string newestFolder = newest ? newest->folder : std::string();
  SchemeChoice schemes;
  if (!ChooseSchemes(parsed, newestFolder, schemes)) return kExitFailure;

  DeviceSession session(options);
  session.Start();
  if (!session.SelectBootLoader()) {
    if (session.Context().device.DevicePath.empty()) {
      session.Host().ShowStatus(kPanelStatus, Cp("КАДО не подключен"));
      return session.Finish(kExitFailure);
    }
    Failure("the КАДО is not in its boot-loader identity");
    return session.Finish(kExitFailure);
  }
  const int status = ProgramFirmware(session.Env(), listing, selected,
                                     SchemeSearch{parsed.Value("--schemes"), DefaultFirmwareFolders()});
  return session.Finish(status == kStatusOk ? kExitOk : kExitFailure);
}

}  // namespace velmora::cli
