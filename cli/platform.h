// What the CLI needs from the operating system; one file per system (platform_*.cpp).
#pragma once
#include <string>
#include <vector>

namespace velmora::cli {

// The command line as UTF-8, program name first.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// UTF-8 on the console.
void PrepareConsole();
bool StderrIsTerminal();
// The folder of the running executable (UTF-8), "" when unknown.
std::string ExecutableFolder();
// The user's firmware folder, listed after the executable's folder: the same folder the
// window lists (the user's data folder + "/velmora/firmware"); "" where there is none.
std::string UserFirmwareFolder();

}  // namespace velmora::cli
