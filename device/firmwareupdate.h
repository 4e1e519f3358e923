// The firmware update (Ctrl+P) into a КАДО in its boot-loader identity.
#pragma once
#include "firmwarelist.h"
#include "transfer.h"

namespace velmora {

// Ends of the update before the device is reached (the device's own ends use the
// transport's codes).
constexpr int kStatusFirmwareNotOpened = -20;   // "Файл программы не открыт"
constexpr int kStatusFirmwareShortRead = -21;   // "Файл программы не прочитан"
constexpr int kStatusFirmwareFormat = -22;      // "Формат файла программы неверен"

// The whole update with the newest listed file; returns the write's status (0 only for
// "Программа записана") or a non-zero code for every other end.
int ProgramFirmware(DeviceEnv& env, const FirmwareListing& listing, int selectedRow);

}  // namespace velmora
