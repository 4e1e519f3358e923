#include "cli.h"

#include <cctype>
#include <cstdio>

#include "base/fileio.h"
#include "json.h"
#include "routes/filecommands.h"
#include "routes/routelistfile.h"
#include "sheets/tablefile.h"

namespace velmora::cli {

std::string ParsedArgs::Value(const std::string& name) const {
  const auto it = options.find(name);
  return it == options.end() || !it->second ? std::string() : *it->second;
}

ParsedArgs ParseArgs(const Args& args, const std::vector<OptionSpec>& knownOptions) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionSpec* option = nullptr;
    for (const OptionSpec& s : knownOptions) {
      if (s.name == name || (!s.shortName.empty() && s.shortName == name)) option = &s;
    }
    if (option == nullptr) {
      parsed.error = "unknown option " + name;
      return parsed;
    }
    std::optional<std::string> value;
    if (eq != std::string::npos) {
      if (option->kind == OptionSpec::Flag) {
        parsed.error = name + " takes no value";
        return parsed;
      }
      value = arg.substr(eq + 1);
    } else if (option->kind == OptionSpec::Value) {
      if (i + 1 >= args.size()) {
        parsed.error = name + " needs a value";
        return parsed;
      }
      value = args[++i];
    }
    parsed.options[option->name] = value;
  }
  return parsed;
}

int UsageError(const std::string& command, const std::string& message) {
  const std::string who = command.empty() ? "velmora-cli" : "velmora-cli " + command;
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", who.c_str(), message.c_str(), who.c_str());
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "velmora-cli: %s\n", message.c_str());
  return kExitFailure;
}

int PrintHelp(const char* text) {
  std::fputs(text, stdout);
  return kExitOk;
}

bool ExpectPositional(const ParsedArgs& parsed, const std::string& command, std::size_t min,
                      std::size_t max, int& exitCode) {
  if (parsed.positional.size() < min) {
    exitCode = UsageError(command, min == 1 ? "missing file argument" : "missing arguments");
    return false;
  }
  if (parsed.positional.size() > max) {
    exitCode = UsageError(command, "unexpected argument " + parsed.positional[max]);
    return false;
  }
  return true;
}

namespace {
int ReadJson(const std::string& path, StoredRouteList& stored, MessageSink& sink) {
  const FileRead read = ReadWholeFile(path, kMaxRouteListFileSize);
  if (read.status == ReadStatus::TooLarge)
    return Failure(path + ": file too large (a route list holds at most 16 MiB)");
  if (read.status == ReadStatus::Missing) return Failure(path + ": no such file");
  if (read.status != ReadStatus::Ok) return Failure(path + ": cannot read the file: " + read.error);
  RouteIntake intake(stored);
  std::string error;
  if (!ReadRoutesJson(read.bytes, intake, error)) return Failure(path + ": " + error);
  for (const IntakeLine& line : intake.Lines()) sink.AppendLogLine(line.text, line.colour);
  return kExitOk;
}
}  // namespace

int ReadRoutes(const std::string& path, StoredRouteList& stored, MessageSink& sink) {
  if (IsRoutesJsonName(path)) return ReadJson(path, stored, sink);
  const LoadResult loaded = LoadRoutesFile(path, stored, sink, ReadRouteTableFile);
  switch (loaded.status) {
    case LoadStatus::Ok:
      return kExitOk;
    // The window starts a new list under a missing name; here there is nothing to read.
    case LoadStatus::Missing:
      return Failure(path + ": no such file");
    case LoadStatus::TooLarge:
      return Failure(path + ": file too large (a route list holds at most 16 MiB)");
    case LoadStatus::Refused:
      break;
  }
  return Failure(path + ": cannot read the file: " + loaded.error);
}

bool WriteOutput(const std::string& path, const std::string& bytes) {
  const std::string error = WriteFileAtomic(path, bytes);
  if (error.empty()) return true;
  Failure(path + ": " + error);
  return false;
}

}  // namespace velmora::cli
