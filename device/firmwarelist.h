// Listing the firmware files of the program's folders for the firmware panel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/clock.h"

namespace velmora {

struct FirmwareRow {
  std::string folder;     // UTF-8, where the file was found
  std::string fileName;   // UTF-8
  uint32_t date = 0;
  int32_t size = 0;
  std::string title;      // CP1251
  std::string dateText;   // CP1251, "?" when the date is not valid
};

struct FirmwareListing {
  std::vector<FirmwareRow> rows;   // row k of the grid is rows[k - 1]
  int newestRow = 1;               // NewestFirmwareRow
};

// The newest row, nullptr when nothing is listed.
inline const FirmwareRow* NewestRow(const FirmwareListing& listing) {
  const int k = listing.newestRow;
  return k >= 1 && k <= static_cast<int>(listing.rows.size())
             ? &listing.rows[static_cast<std::size_t>(k - 1)]
             : nullptr;
}

// Folders in order; files ending in .HAS (any letter case), directories skipped, files
// shorter than 64 bytes or failing the format check skipped. `previousNewest` is kept
// when nothing is found.
FirmwareListing ListFirmwareFiles(const std::vector<std::string>& folders,
                                  const DateTimeFormat& format, int previousNewest);

}  // namespace velmora
