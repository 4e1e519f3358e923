#include "Formatm.h"

#include <algorithm>
#include <cstring>

#include "base/textbytes.h"
#include "schemefile.h"

namespace velmora {
namespace {

uint32_t Read32(const uint8_t* p) { return static_cast<uint32_t>(DecodeLittleEndian(p, 4)); }

constexpr std::size_t kFirmwareWriteAlign = 128;

// `size` rounded up to a multiple of `unit`; 0 for a negative size.
int64_t RoundUp(int32_t size, std::size_t unit) {
  if (size < 0) return 0;
  const int64_t u = static_cast<int64_t>(unit);
  return (static_cast<int64_t>(size) + u - 1) / u * u;
}

bool ValidGroupBits(int groupBits) {
  return groupBits == 32 || groupBits == 64 || groupBits == 256;
}

bool Bit(const uint8_t* group, int k) { return (group[k >> 3] >> (k & 7)) & 1; }
void SetBit(uint8_t* group, int k) { group[k >> 3] = static_cast<uint8_t>(group[k >> 3] | 1 << (k & 7)); }

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace

FirmwareHeader ParseFirmwareHeader(const uint8_t* header) {
  FirmwareHeader h;
  h.size = static_cast<int32_t>(Read32(header));
  h.date = Read32(header + 8);
  h.scheme = header[kFirmwareSchemeOffset];
  const char* title = reinterpret_cast<const char*>(header + kFirmwareTitleOffset);
  const void* zero = std::memchr(title, 0, kFirmwareTitleSize);
  h.title.assign(title, zero ? static_cast<const char*>(zero) - title : kFirmwareTitleSize);
  return h;
}

bool FirmwareFormatOk(const uint8_t* header) {
  return header[kFirmwareMarkOffset] == kFirmwareMark0 &&
         header[kFirmwareMarkOffset + 1] == kFirmwareMark1 &&
         header[kFirmwareSchemeOffset] == kFirmwareScheme;
}

int64_t FirmwareBodyLength(int32_t size) { return RoundUp(size, kFirmwareBlock); }

int64_t FirmwareWriteEnd(int32_t size) { return RoundUp(size, kFirmwareWriteAlign); }

bool FirmwareBodyFits(const uint8_t* file, std::size_t length) {
  if (!file || length < kFirmwareHeaderSize || length > kFirmwareFileBuffer) return false;
  const int32_t size = static_cast<int32_t>(Read32(file));
  if (size < 0) return false;
  return static_cast<int64_t>(kFirmwareHeaderBlock) + FirmwareBodyLength(size) <=
         static_cast<int64_t>(length);
}

bool FirmwareFileUsable(const uint8_t* file, std::size_t length) {
  return FirmwareBodyFits(file, length) && FirmwareFormatOk(file);
}

void DecodeFirmwareBlock(const uint8_t* coded, uint8_t* decoded, const uint8_t* table,
                         int groupBits) {
  const int groupBytes = groupBits / 8;
  std::memset(decoded, 0, kFirmwareBlock);
  for (std::size_t g = 0; g < kFirmwareBlock; g += groupBytes) {
    for (int i = 0; i < groupBits; ++i) {
      if (Bit(coded + g, table[i])) SetBit(decoded + g, i);
    }
  }
}

void EncodeFirmwareBlock(const uint8_t* decoded, uint8_t* coded, const uint8_t* table,
                         int groupBits) {
  const int groupBytes = groupBits / 8;
  std::memset(coded, 0, kFirmwareBlock);
  for (std::size_t g = 0; g < kFirmwareBlock; g += groupBytes) {
    for (int i = 0; i < groupBits; ++i) {
      if (Bit(decoded + g, i)) SetBit(coded + g, table[i]);
    }
  }
}

std::vector<uint8_t> DecodeFirmware(const uint8_t* file, std::size_t length,
                                    const uint8_t* table, int groupBits) {
  if (!table || !ValidGroupBits(groupBits) || !FirmwareBodyFits(file, length)) return {};
  const std::size_t n = static_cast<std::size_t>(FirmwareBodyLength(static_cast<int32_t>(Read32(file))));
  std::vector<uint8_t> image(kFirmwareHeaderBlock + n, 0);
  std::memcpy(image.data(), file, kFirmwareHeaderSize);
  for (std::size_t offset = 0; offset < n; offset += kFirmwareBlock) {
    DecodeFirmwareBlock(file + kFirmwareHeaderBlock + offset,
                        image.data() + kFirmwareHeaderBlock + offset, table, groupBits);
  }
  return image;
}

std::vector<uint8_t> DecodeFirmware(const uint8_t* file, std::size_t length) {
  return DecodeFirmware(file, length, SchemeTables::BuiltIn());
}

std::vector<uint8_t> DecodeFirmware(const uint8_t* file, std::size_t length,
                                    const SchemeTables& tables) {
  if (!FirmwareFileUsable(file, length)) return {};
  const int scheme = file[kFirmwareSchemeOffset];
  return DecodeFirmware(file, length, tables.Table(scheme), SchemeGroupBits(scheme));
}

std::vector<uint8_t> EncodeFirmware(const std::vector<uint8_t>& body, const std::string& title,
                                    uint32_t dosDate, int scheme) {
  return EncodeFirmware(body, title, dosDate, scheme, SchemeTables::BuiltIn());
}

std::vector<uint8_t> EncodeFirmware(const std::vector<uint8_t>& body, const std::string& title,
                                    uint32_t dosDate, int scheme, const SchemeTables& tables) {
  const uint8_t* table = tables.Table(scheme);
  if (!table || body.size() > kMaxFirmwareBody) return {};
  const int32_t size = static_cast<int32_t>(body.size());
  const std::size_t n = static_cast<std::size_t>(FirmwareBodyLength(size));

  std::vector<uint8_t> file(kFirmwareHeaderBlock + n, 0);
  EncodeLittleEndian(file.data(), static_cast<uint32_t>(size), 4);
  EncodeLittleEndian(file.data() + 8, dosDate, 4);
  file[kFirmwareSchemeOffset] = static_cast<uint8_t>(scheme);
  file[kFirmwareMarkOffset] = kFirmwareMark0;
  file[kFirmwareMarkOffset + 1] = kFirmwareMark1;
  std::memcpy(file.data() + kFirmwareTitleOffset, title.data(),
              std::min(title.size(), kFirmwareTitleSize));

  // The tail of the last block stays erased flash.
  std::vector<uint8_t> plain(n, 0xFF);
  std::copy(body.begin(), body.end(), plain.begin());
  for (std::size_t offset = 0; offset < n; offset += kFirmwareBlock) {
    EncodeFirmwareBlock(plain.data() + offset, file.data() + kFirmwareHeaderBlock + offset, table,
                        SchemeGroupBits(scheme));
  }
  return file;
}

uint32_t PackDosDateTime(const DateTime& t) {
  if (t.year < 1980 || t.year > 2107) return 0;
  return static_cast<uint32_t>(t.year - 1980) << 25 | static_cast<uint32_t>(t.month & 0x0F) << 21 |
         static_cast<uint32_t>(t.day & 0x1F) << 16 | static_cast<uint32_t>(t.hour & 0x1F) << 11 |
         static_cast<uint32_t>(t.minute & 0x3F) << 5 | static_cast<uint32_t>((t.second / 2) & 0x1F);
}

bool UnpackDosDateTime(uint32_t packed, DateTime& t) {
  DateTime d;
  d.year = 1980 + static_cast<int>(packed >> 25);
  d.month = static_cast<int>((packed >> 21) & 0x0F);
  d.day = static_cast<int>((packed >> 16) & 0x1F);
  d.hour = static_cast<int>((packed >> 11) & 0x1F);
  d.minute = static_cast<int>((packed >> 5) & 0x3F);
  d.second = static_cast<int>(packed & 0x1F) * 2;
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month) ||
      d.hour > 23 || d.minute > 59 || d.second > 59) {
    return false;
  }
  t = d;
  return true;
}

}  // namespace velmora
