// The velmora-cli commands; each takes the words after its name and returns the exit code.
#pragma once
#include "cli.h"

namespace velmora::cli {

int RunRoutes(const Args& args);
int RunConvert(const Args& args);
int RunImage(const Args& args);
int RunDevices(const Args& args);
int RunTransfer(const Args& args);
int RunFirmware(const Args& args);
int RunFlash(const Args& args);

}  // namespace velmora::cli
