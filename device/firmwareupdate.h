// The firmware update (Ctrl+P) into a КАДО in its boot-loader identity.
#pragma once
#include <string>
#include <vector>

#include "firmwarelist.h"
#include "schemefile.h"
#include "kadowrite.h"

namespace velmora {

// Ends of the update before the device is reached (the device's own ends use the
// transport's codes).
constexpr int kStatusFirmwareNotOpened = -20;   // "Файл программы не открыт"
constexpr int kStatusFirmwareShortRead = -21;   // "Файл программы не прочитан"
constexpr int kStatusFirmwareFormat = -22;      // "Формат файла программы неверен"
constexpr int kStatusSchemesBroken = -23;       // "Файл таблиц кодирования неверен: "

// Where the update looks for a tables file besides the firmware file's own folder: the
// CLI's --schemes FILE (empty: none), then the firmware folders in order.
struct SchemeSearch {
  std::string option;
  std::vector<std::string> folders;
};

// The whole update with the newest listed file; returns the write's status (0 only for
// "Программа записана") or a non-zero code for every other end.
int ProgramFirmware(DeviceEnv& env, const FirmwareListing& listing, int selectedRow,
                    const SchemeSearch& schemes = SchemeSearch{});

}  // namespace velmora
