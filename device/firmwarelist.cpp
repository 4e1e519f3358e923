#include "firmwarelist.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include "Formatm.h"
#include "base/fileio.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool HasFirmwareExtension(const std::string& name) {
  static const char kExt[] = ".has";
  constexpr std::size_t kLen = sizeof(kExt) - 1;
  if (name.size() < kLen) return false;
  for (std::size_t i = 0; i < kLen; ++i) {
    char c = name[name.size() - kLen + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExt[i]) return false;
  }
  return true;
}

// The listing reads the header only; the whole file is checked by the update. A file that is no
// regular file (a FIFO, a device) is not read and so not listed.
bool ReadHeader(const fs::path& path, std::array<uint8_t, kFirmwareHeaderSize>& header) {
  const FileRead read = ReadFileStart(path.u8string(), header.size());
  if (read.status != ReadStatus::Ok || read.bytes.size() != header.size()) return false;
  std::copy(read.bytes.begin(), read.bytes.end(), header.begin());
  return true;
}

}  // namespace

FirmwareListing ListFirmwareFiles(const std::vector<std::string>& folders,
                                  const DateTimeFormat& format, int previousNewest) {
  FirmwareListing listing;
  uint32_t newestDate = 0;
  bool anyFound = false;   // a .HAS entry of any kind: the newest row then starts at 1
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const fs::directory_entry& entry = *it;
      const std::string name = entry.path().filename().u8string();
      if (!HasFirmwareExtension(name)) continue;
      anyFound = true;
      std::error_code typeEc;
      if (entry.is_directory(typeEc) || typeEc) continue;

      std::array<uint8_t, kFirmwareHeaderSize> header{};
      if (!ReadHeader(entry.path(), header) || !FirmwareFormatOk(header.data())) continue;

      const FirmwareHeader h = ParseFirmwareHeader(header.data());
      FirmwareRow row;
      row.folder = folder;
      row.fileName = name;
      row.date = h.date;
      row.size = h.size;
      row.title = h.title;
      DateTime t;
      row.dateText = UnpackDosDateTime(h.date, t) ? FormatDateTime(format, t) : "?";
      listing.rows.push_back(std::move(row));

      // Among equal dates the first listed stays the newest.
      if (listing.rows.size() == 1) listing.newestRow = 1;
      if (h.date > newestDate) {
        newestDate = h.date;
        listing.newestRow = static_cast<int>(listing.rows.size());
      }
    }
  }
  if (!anyFound) listing.newestRow = previousNewest;
  return listing;
}

}  // namespace velmora
