// The firmware file (.HAS): header, format check and the bit-permutation coding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/clock.h"

namespace velmora {

struct SchemeTables;

constexpr std::size_t kFirmwareHeaderSize = 64;
constexpr std::size_t kFirmwareHeaderBlock = 512;
constexpr std::size_t kFirmwareFileBuffer = 65536;
constexpr std::size_t kFirmwareBlock = 512;
// The largest body that a file of kFirmwareFileBuffer bytes can carry.
constexpr std::size_t kMaxFirmwareBody = kFirmwareFileBuffer - kFirmwareHeaderBlock;

constexpr std::size_t kFirmwareSchemeOffset = 25;
constexpr std::size_t kFirmwareMarkOffset = 32;
constexpr uint8_t kFirmwareMark0 = 0x94;
constexpr uint8_t kFirmwareMark1 = 0x06;
constexpr uint8_t kFirmwareScheme = 2;   // the only scheme the format check admits
constexpr std::size_t kFirmwareTitleOffset = 40;
constexpr std::size_t kFirmwareTitleSize = 16;

struct FirmwareHeader {
  int32_t size = 0;        // FirmwareSize
  uint32_t date = 0;       // FirmwareDate, MS-DOS packed
  uint8_t scheme = 0;      // CodingScheme
  std::string title;       // FirmwareTitle, CP1251, at most 16 characters
};

// Needs at least 64 bytes.
FirmwareHeader ParseFirmwareHeader(const uint8_t* header);
// Byte 32 = 0x94, byte 33 = 0x06, byte 25 = 2.
bool FirmwareFormatOk(const uint8_t* header);
// The whole file: the header check plus the bounds (size ≤ 65536, FirmwareSize ≥ 0,
// the body 512 + n within the bytes read).
bool FirmwareFileUsable(const uint8_t* file, std::size_t length);
// The bounds alone, whatever the scheme and the marks say.
bool FirmwareBodyFits(const uint8_t* file, std::size_t length);
// n: FirmwareSize rounded up to whole 512-byte blocks (0 for a negative size).
int64_t FirmwareBodyLength(int32_t size);
// The end of the body an update writes: FirmwareSize rounded up to a multiple of 128, the
// КАДО's largest block (0 for a negative size).
int64_t FirmwareWriteEnd(int32_t size);

// Group size in bits of scheme 1..4 (256, 256, 64, 32), 0 for others.
int SchemeGroupBits(int scheme);
// The permutation of scheme 1..4; entry i is the coded position of decoded bit i.
const uint8_t* SchemeTable(int scheme);

// n + 512 bytes: the header copy, zeros to 512, then the decoded body. Empty when the
// file is not usable.
std::vector<uint8_t> DecodeFirmware(const uint8_t* file, std::size_t length);
// The same with any permutation of `groupBits` entries (32, 64 or 256) and without the
// format check; the bounds are still checked. Empty when they fail.
std::vector<uint8_t> DecodeFirmware(const uint8_t* file, std::size_t length,
                                    const uint8_t* table, int groupBits);
// One 512-byte block: bit i of each decoded group is bit table[i] of the coded group.
void DecodeFirmwareBlock(const uint8_t* coded, uint8_t* decoded, const uint8_t* table,
                         int groupBits);
void EncodeFirmwareBlock(const uint8_t* decoded, uint8_t* coded, const uint8_t* table,
                         int groupBits);
// The same with the coding tables of a tables file (the overloads without them use the
// built-in set).
std::vector<uint8_t> DecodeFirmware(const uint8_t* file, std::size_t length,
                                    const SchemeTables& tables);
std::vector<uint8_t> EncodeFirmware(const std::vector<uint8_t>& body, const std::string& title,
                                    uint32_t dosDate, int scheme, const SchemeTables& tables);
// The inverse: a whole .HAS file for `body` (scheme 1..4, at most kMaxFirmwareBody
// bytes, padded with 0xFF to whole blocks). Empty when the scheme or the size is wrong.
std::vector<uint8_t> EncodeFirmware(const std::vector<uint8_t>& body, const std::string& title,
                                    uint32_t dosDate, int scheme);

// 0 when the year is outside 1980..2107.
uint32_t PackDosDateTime(const DateTime& t);
// False when the packed value is no valid date and time.
bool UnpackDosDateTime(uint32_t packed, DateTime& t);

}  // namespace velmora
