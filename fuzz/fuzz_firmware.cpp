// Firmware files of any length: the format check, the header, the listing row and
// DecodeFirmware. The input is also taken as a body: packed with a scheme and decoded
// again it must come back unchanged.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/Formatm.h"
#include "device/firmwarelist.h"
#include "fuzz_support.h"

using namespace velmora;

namespace {

const std::string& Folder() { return fuzz::ScratchFolder(); }

void CheckFile(const std::vector<uint8_t>& file) {
  const uint8_t* data = file.empty() ? nullptr : file.data();
  const std::size_t length = file.size();

  // The listing and the update see a short file through a zeroed 64-byte header.
  uint8_t header[kFirmwareHeaderSize] = {};
  std::memcpy(header, data ? data : header, std::min(length, kFirmwareHeaderSize));
  const bool formatOk = FirmwareFormatOk(header);
  const FirmwareHeader h = ParseFirmwareHeader(header);
  fuzz::Check(h.title.size() <= kFirmwareTitleSize, "title longer than 16 characters");
  fuzz::Check(formatOk == (h.scheme == 2 && header[32] == 0x94 && header[33] == 0x06),
              "format check disagrees with the marks");

  DateTime when;
  if (UnpackDosDateTime(h.date, when)) {
    fuzz::Check(PackDosDateTime(when) == h.date, "date does not pack back to itself");
  }

  const bool usable = FirmwareFileUsable(data, length);
  if (usable) {
    fuzz::Check(formatOk && length >= kFirmwareHeaderSize && length <= kFirmwareFileBuffer &&
                    h.size >= 0,
                "an unusable file passes");
  }
  const std::vector<uint8_t> decoded = DecodeFirmware(data, length);
  if (!usable) {
    fuzz::Check(decoded.empty(), "an unusable file was decoded");
  } else {
    const int64_t n = FirmwareBodyLength(h.size);
    fuzz::Check(n % 512 == 0 && n >= h.size && n < static_cast<int64_t>(h.size) + 512,
                "body length is not the size rounded up to 512");
    fuzz::Check(static_cast<int64_t>(decoded.size()) == n + 512, "decoded image size");
    fuzz::Check(512 + n <= static_cast<int64_t>(length), "body reaches past the file");
    fuzz::Check(std::equal(decoded.begin(), decoded.begin() + 64, data), "header copy");
    fuzz::Check(std::all_of(decoded.begin() + 64, decoded.begin() + 512,
                            [](uint8_t b) { return b == 0; }),
                "bytes 64..511 of the decoded image are not zero");
  }

  // The listing row of the same bytes.
  const std::string path = Folder() + "/fw.HAS";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fuzz::Fail("cannot write a temporary file");
  if (length) std::fwrite(data, 1, length, f);
  std::fclose(f);
  static const FixedDateTimeFormat format;
  const FirmwareListing listing = ListFirmwareFiles({Folder()}, format, 7);
  const bool listed = length >= kFirmwareHeaderSize && formatOk;
  fuzz::Check(listing.rows.size() == (listed ? 1u : 0u), "listing row count");
  if (listed) {
    const FirmwareRow& row = listing.rows[0];
    fuzz::Check(listing.newestRow == 1, "newest row of a one-file listing");
    fuzz::Check(row.size == h.size && row.date == h.date && row.title == h.title, "row fields");
    fuzz::Check(!row.dateText.empty(), "empty date text");
    fuzz::Check(row.fileName == "fw.HAS", "row file name");
  } else {
    // fw.HAS was found but not listed: the newest row starts at 1 again.
    fuzz::Check(listing.newestRow == 1, "newest row after a refused firmware file");
  }
}

void CheckRoundTrip(const uint8_t* data, std::size_t size) {
  const std::vector<uint8_t> body(data, data + std::min(size, kMaxFirmwareBody));
  const std::string title(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 20));
  const uint32_t date = size >= 4 ? static_cast<uint32_t>(data[0]) << 24 | data[1] << 16 |
                                        data[2] << 8 | data[3]
                                  : 0;
  // Scheme 2 always, one other by the input's length: each scheme gets its share.
  for (int scheme : {2, 1 + static_cast<int>(size % 4)}) {
    const std::vector<uint8_t> file = EncodeFirmware(body, title, date, scheme);
    const std::size_t n = (body.size() + 511) / 512 * 512;
    fuzz::Check(file.size() == 512 + n, "packed file size");
    const FirmwareHeader h = ParseFirmwareHeader(file.data());
    fuzz::Check(h.size == static_cast<int32_t>(body.size()) && h.date == date &&
                    h.scheme == scheme,
                "packed header");
    fuzz::Check(h.title == title.substr(0, std::min(title.find('\0'), kFirmwareTitleSize)),
                "packed title");
    const std::vector<uint8_t> decoded =
        scheme == 2 ? DecodeFirmware(file.data(), file.size())
                    : DecodeFirmware(file.data(), file.size(), SchemeTable(scheme),
                                     SchemeGroupBits(scheme));
    fuzz::Check(decoded.size() == 512 + n, "decoded size of a packed body");
    fuzz::Check(std::equal(body.begin(), body.end(), decoded.begin() + 512),
                "a packed body does not decode to itself");
    if (scheme != 2) {
      fuzz::Check(DecodeFirmware(file.data(), file.size()).empty(),
                  "a file of another scheme passed the format check");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // An exact copy, so that any read past the file is caught.
  const std::vector<uint8_t> file(data, data + size);
  CheckFile(file);
  CheckRoundTrip(data, size);
  return 0;
}
