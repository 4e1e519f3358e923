// The .HAS format: header, checks, scheme tables, coding and the MS-DOS date.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "device/Formatm.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

void Put32(Bytes& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool BitOf(const uint8_t* p, int k) { return (p[k / 8] >> (k % 8)) & 1; }

TEST(SchemeTables, EachIsAPermutationOfItsGroup) {
  const int sizes[] = {256, 256, 64, 32};
  for (int s = 1; s <= 4; ++s) {
    ASSERT_EQ(SchemeGroupBits(s), sizes[s - 1]);
    const uint8_t* t = SchemeTable(s);
    ASSERT_NE(t, nullptr);
    std::vector<int> entries(t, t + sizes[s - 1]);
    std::sort(entries.begin(), entries.end());
    std::vector<int> all(sizes[s - 1]);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(entries, all) << "scheme " << s;
  }
  // Schemes 1 and 2 share a group size but not a table; none is the identity.
  EXPECT_NE(std::memcmp(SchemeTable(1), SchemeTable(2), 256), 0);
  for (int s = 1; s <= 4; ++s) {
    int fixed = 0;
    for (int i = 0; i < SchemeGroupBits(s); ++i) fixed += SchemeTable(s)[i] == i;
    EXPECT_LT(fixed, SchemeGroupBits(s) / 4) << "scheme " << s;
  }
  EXPECT_EQ(SchemeTable(0), nullptr);
  EXPECT_EQ(SchemeTable(5), nullptr);
  EXPECT_EQ(SchemeGroupBits(5), 0);
}

TEST(FirmwareCoding, EntryINamesTheCodedBitThatBecomesBitI) {
  for (int s = 1; s <= 4; ++s) {
    const int g = SchemeGroupBits(s);
    const uint8_t* t = SchemeTable(s);
    for (int i : {0, 1, 7, g / 2 + 3, g - 1}) {
      // One bit set at coded position t[i] in the second group of the block.
      Bytes coded(512, 0), decoded(512, 0xAA);
      const int groupBytes = g / 8;
      coded[groupBytes + t[i] / 8] = static_cast<uint8_t>(1 << (t[i] % 8));
      DecodeFirmwareBlock(coded.data(), decoded.data(), t, g);
      for (int k = 0; k < 512 * 8; ++k) {
        ASSERT_EQ(BitOf(decoded.data(), k), k == g + i) << "scheme " << s << " bit " << i;
      }
    }
  }
}

TEST(FirmwareCoding, IdentityTablePassesABlockUnchanged) {
  uint8_t identity[256];
  std::iota(identity, identity + 256, 0);
  Bytes body = RandomBytes(1000, 7);
  Bytes file = EncodeFirmware(body, "T", 0, 2);
  ASSERT_FALSE(file.empty());
  // With the identity as scheme 2's table the coded block comes out as it went in.
  const Bytes decoded = DecodeFirmware(file.data(), file.size(), identity, 256);
  ASSERT_EQ(decoded.size(), 512u + 1024u);
  EXPECT_TRUE(std::equal(decoded.begin() + 512, decoded.end(), file.begin() + 512));
  EXPECT_FALSE(std::equal(body.begin(), body.end(), file.begin() + 512));
}

TEST(FirmwareCoding, EncodeAndDecodeAreInverseForEveryScheme) {
  for (int s = 1; s <= 4; ++s) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{300}, std::size_t{512},
                             std::size_t{513}, kMaxFirmwareBody}) {
      const Bytes body = RandomBytes(size, static_cast<unsigned>(s * 1000 + size));
      const Bytes file = EncodeFirmware(body, "Прошивка", 0x3B4A6000, s);
      const std::size_t n = (size + 511) / 512 * 512;
      ASSERT_EQ(file.size(), 512 + n);
      const Bytes decoded = DecodeFirmware(file.data(), file.size(), SchemeTable(s), SchemeGroupBits(s));
      ASSERT_EQ(decoded.size(), 512 + n) << "scheme " << s << " size " << size;
      EXPECT_TRUE(std::equal(body.begin(), body.end(), decoded.begin() + 512))
          << "scheme " << s << " size " << size;
      EXPECT_TRUE(std::all_of(decoded.begin() + 512 + size, decoded.end(),
                              [](uint8_t b) { return b == 0xFF; }));
      EXPECT_TRUE(std::equal(decoded.begin(), decoded.begin() + 64, file.begin()));
      EXPECT_TRUE(std::all_of(decoded.begin() + 64, decoded.begin() + 512,
                              [](uint8_t b) { return b == 0; }));
      if (size >= 512) {
        EXPECT_FALSE(std::equal(body.begin(), body.begin() + 512, file.begin() + 512));
      }
    }
  }
}

TEST(FirmwareCoding, EncoderWritesTheHeaderFieldsAtTheirOffsets) {
  const Bytes file = EncodeFirmware(Bytes(300, 1), "ABCDEFGHIJKLMNOPQRS", 0x3B4A6000, 2);
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x2C, 0x01, 0, 0}));
  EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 12), (Bytes{0x00, 0x60, 0x4A, 0x3B}));
  EXPECT_EQ(file[25], 2);
  EXPECT_EQ(file[32], 0x94);
  EXPECT_EQ(file[33], 0x06);
  EXPECT_EQ(std::string(file.begin() + 40, file.begin() + 56), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(file[56], 0);

  const FirmwareHeader h = ParseFirmwareHeader(file.data());
  EXPECT_EQ(h.size, 300);
  EXPECT_EQ(h.date, 0x3B4A6000u);
  EXPECT_EQ(h.scheme, 2);
  EXPECT_EQ(h.title, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(ParseFirmwareHeader(EncodeFirmware({}, "Ab", 0, 2).data()).title, "Ab");

  EXPECT_TRUE(EncodeFirmware(Bytes(10), "x", 0, 0).empty());
  EXPECT_TRUE(EncodeFirmware(Bytes(10), "x", 0, 5).empty());
  EXPECT_TRUE(EncodeFirmware(Bytes(kMaxFirmwareBody + 1), "x", 0, 2).empty());
}

TEST(FirmwareCoding, SizeOf300DecodesOneBlock) {
  const Bytes file = EncodeFirmware(Bytes(300, 0x11), "x", 0, 2);
  const Bytes decoded = DecodeFirmware(file.data(), file.size());
  EXPECT_EQ(decoded.size(), 1024u);
  EXPECT_EQ(FirmwareBodyLength(300), 512);
  EXPECT_EQ(FirmwareBodyLength(0), 0);
  EXPECT_EQ(FirmwareBodyLength(512), 512);
  EXPECT_EQ(FirmwareBodyLength(-1), 0);
  EXPECT_EQ(FirmwareBodyLength(INT32_MAX), 2147483648LL);
}

class FirmwareCheck : public ::testing::Test {
 protected:
  Bytes file_ = EncodeFirmware(Bytes(1000, 0x22), "ok", 0x3B4A6000, 2);
};

TEST_F(FirmwareCheck, FormatMarksAndSchemeTwoOnly) {
  EXPECT_TRUE(FirmwareFormatOk(file_.data()));
  EXPECT_TRUE(FirmwareFileUsable(file_.data(), file_.size()));
  for (uint8_t scheme : {0, 1, 3, 4}) {
    Bytes f = file_;
    f[25] = scheme;
    EXPECT_FALSE(FirmwareFormatOk(f.data())) << int(scheme);
    EXPECT_FALSE(FirmwareFileUsable(f.data(), f.size())) << int(scheme);
    EXPECT_TRUE(DecodeFirmware(f.data(), f.size()).empty());
  }
  for (std::size_t at : {32, 33}) {
    Bytes f = file_;
    f[at] ^= 0x01;
    EXPECT_FALSE(FirmwareFormatOk(f.data())) << at;
  }
}

TEST_F(FirmwareCheck, BoundsRefuseWhatTheBufferCannotHold) {
  // The body (512 + n) must lie within the bytes read.
  EXPECT_FALSE(FirmwareFileUsable(file_.data(), file_.size() - 1));
  Bytes f = file_;
  Put32(f, 0, 1025);   // n = 1536: one block beyond the file
  EXPECT_FALSE(FirmwareFileUsable(f.data(), f.size()));
  EXPECT_TRUE(DecodeFirmware(f.data(), f.size()).empty());
  Put32(f, 0, 1024);
  EXPECT_TRUE(FirmwareFileUsable(f.data(), f.size()));

  Put32(f, 0, 0xFFFFFFFF);   // -1
  EXPECT_FALSE(FirmwareFileUsable(f.data(), f.size()));
  Put32(f, 0, 0x7FFFFFFF);
  EXPECT_FALSE(FirmwareFileUsable(f.data(), f.size()));

  // A file of 65,536 bytes is the most the buffer holds; one byte more is refused.
  Bytes big = EncodeFirmware(Bytes(kMaxFirmwareBody, 3), "big", 0, 2);
  ASSERT_EQ(big.size(), 65536u);
  EXPECT_TRUE(FirmwareFileUsable(big.data(), big.size()));
  big.push_back(0);
  EXPECT_FALSE(FirmwareFileUsable(big.data(), big.size()));

  // A header alone is 64 bytes; anything shorter is never looked at.
  EXPECT_FALSE(FirmwareFileUsable(file_.data(), 63));
  // Size 0 still needs the whole 512-byte header block.
  Bytes empty = EncodeFirmware({}, "e", 0, 2);
  EXPECT_TRUE(FirmwareFileUsable(empty.data(), 512));
  EXPECT_FALSE(FirmwareFileUsable(empty.data(), 511));
  EXPECT_EQ(DecodeFirmware(empty.data(), 512).size(), 512u);
}

TEST(DosDateTime, UnpacksTheKnownDateAndRefusesImpossibleOnes) {
  DateTime t;
  ASSERT_TRUE(UnpackDosDateTime(0x3B4A6000, t));
  EXPECT_EQ(t.year, 2009);
  EXPECT_EQ(t.month, 10);
  EXPECT_EQ(t.day, 10);
  EXPECT_EQ(t.hour, 12);
  EXPECT_EQ(t.minute, 0);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(PackDosDateTime(t), 0x3B4A6000u);

  DateTime u{2107, 12, 31, 23, 59, 58};
  DateTime back;
  ASSERT_TRUE(UnpackDosDateTime(PackDosDateTime(u), back));
  EXPECT_EQ(back.year, 2107);
  EXPECT_EQ(back.second, 58);
  ASSERT_TRUE(UnpackDosDateTime(PackDosDateTime({2008, 2, 29, 0, 0, 0}), back));
  EXPECT_EQ(back.day, 29);

  DateTime keep{1, 2, 3, 4, 5, 6};
  EXPECT_FALSE(UnpackDosDateTime(0, keep));   // month 0
  EXPECT_EQ(keep.year, 1);
  EXPECT_FALSE(UnpackDosDateTime(PackDosDateTime({2009, 2, 29, 0, 0, 0}), keep));
  EXPECT_FALSE(UnpackDosDateTime(PackDosDateTime({2009, 4, 31, 0, 0, 0}), keep));
  EXPECT_FALSE(UnpackDosDateTime(PackDosDateTime({2009, 13, 1, 0, 0, 0}), keep));
  EXPECT_FALSE(UnpackDosDateTime(PackDosDateTime({2009, 1, 1, 24, 0, 0}), keep));
  EXPECT_FALSE(UnpackDosDateTime(PackDosDateTime({2009, 1, 1, 0, 60, 0}), keep));
  EXPECT_FALSE(UnpackDosDateTime(0x3B4A001E, keep));   // 60 seconds
  EXPECT_EQ(PackDosDateTime({1979, 1, 1, 0, 0, 0}), 0u);
}

}  // namespace
}  // namespace velmora
