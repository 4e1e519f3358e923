// The firmware update (Ctrl+P) into a КАДО in its boot-loader identity.
#pragma once
#include "firmwarelist.h"
#include "transfer.h"

namespace velmora {

// The whole update with the newest listed file; returns the write's status (0 only for
// "Программа записана") or a non-zero code for every other end.
int ProgramFirmware(DeviceEnv& env, const FirmwareListing& listing, int selectedRow);

}  // namespace velmora
