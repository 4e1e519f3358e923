// velmora-cli: the core's commands for scripts and for the tests, without the window.
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "platform.h"
#include "version.h"

namespace {

constexpr const char* kHelp =
    "Usage: velmora-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Route texts for the ЛУМАР display boards and the КАДО transfer device.\n"
    "\n"
    "Commands:\n"
    "  routes FILE             print the routes of a route list (.mrp), group (.mrg), table\n"
    "                          (.csv, .tsv), workbook (.xlsx, .ods) or routes JSON (.json)\n"
    "                          as JSON\n"
    "  convert IN OUT          write IN's routes as a route list (.mrp), table (.csv),\n"
    "                          workbook (.xlsx) or JSON\n"
    "  image FILE [-o OUT]     build the route image written into the КАДО\n"
    "  devices                 list the attached КАДО interfaces as JSON\n"
    "  transfer FILE           write FILE's routes into the КАДО\n"
    "  firmware list [DIR]     list the firmware files (.HAS) as JSON\n"
    "  firmware decode|encode  decode or code a firmware file\n"
    "  flash [FILE.HAS]        write firmware into a КАДО in its boot-loader identity\n"
    "\n"
    "'velmora-cli COMMAND --help' describes a command. Output is UTF-8. Exit status: 0 on\n"
    "success, 1 on failure, 2 on a usage error.\n";

struct Command {
  const char* name;
  int (*run)(const velmora::cli::Args&);
};

constexpr Command kCommands[] = {
    {"routes", velmora::cli::RunRoutes},     {"convert", velmora::cli::RunConvert},
    {"image", velmora::cli::RunImage},       {"devices", velmora::cli::RunDevices},
    {"transfer", velmora::cli::RunTransfer}, {"firmware", velmora::cli::RunFirmware},
    {"flash", velmora::cli::RunFlash},
};

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora::cli;
  PrepareConsole();
  const std::vector<std::string> words = Utf8Arguments(argc, argv);
  if (words.size() < 2) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string& name = words[1];
  if (name == "--help" || name == "-h" || name == "help") return PrintHelp(kHelp);
  if (name == "--version") {
    std::puts("velmora-cli " VELMORA_VERSION);
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (name == command.name) return command.run(Args(words.begin() + 2, words.end()));
  }
  return UsageError("", "unknown command " + name);
}
