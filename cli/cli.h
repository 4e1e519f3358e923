// Shared pieces of the velmora-cli commands.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora {
struct StoredRouteList;
class MessageSink;
}  // namespace velmora

namespace velmora::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;   // the words after the command's name

struct OptionSpec {
  std::string name;            // "--output"
  std::string shortName;       // "-o", or ""
  enum Kind { Flag, Value, OptionalValue } kind = Value;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::optional<std::string>> options;   // by long name
  bool help = false;
  std::string error;           // a usage error, "" when none

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Value(const std::string& name) const;   // "" when absent or without value
};

// "--name VALUE", "--name=VALUE", "-o VALUE"; an OptionalValue only as "--name[=VALUE]";
// "--" ends the options.
ParsedArgs ParseArgs(const Args& args, const std::vector<OptionSpec>& knownOptions);

// Prints "velmora-cli COMMAND: MESSAGE" and the hint to --help; returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);
// Prints "velmora-cli: MESSAGE" (UTF-8); returns kExitFailure.
int Failure(const std::string& message);
// Prints the help text; returns kExitOk.
int PrintHelp(const char* text);
// Checks the positional count; prints the usage error when it is wrong.
bool ExpectPositional(const ParsedArgs& parsed, const std::string& command, std::size_t min,
                      std::size_t max, int& exitCode);

// Reads FILE by its extension: a route group (.mrg) or a table (.csv, .tsv) imported as the
// open command does, the routes JSON (.json), a route list otherwise; warnings go to
// `sink`. kExitOk, or kExitFailure with the reason printed.
int ReadRoutes(const std::string& path, StoredRouteList& stored, MessageSink& sink);
// Writes atomically; false with the reason printed.
bool WriteOutput(const std::string& path, const std::string& bytes);

}  // namespace velmora::cli
