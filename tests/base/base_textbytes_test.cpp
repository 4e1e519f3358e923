#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "base/textbytes.h"

namespace velmora {
namespace {

TEST(TextBytes, Utf16JoinsPairsAndReplacesLoneSurrogates) {
  const struct {
    std::u16string units;
    std::u32string text;
  } cases[] = {
      {u"\u0410z\uFFFF", U"\u0410z\uFFFF"},
      {{0xD83D, 0xDE00}, U"\U0001F600"},
      {{0xDBFF, 0xDFFF}, U"\U0010FFFF"},
      {{u'a', 0xD800}, U"a\uFFFD"},                  // a high one at the end
      {{0xD800, u'a'}, U"\uFFFDa"},                  // a high one before no low one
      {{0xDC00, 0xD800}, U"\uFFFD\uFFFD"},           // the wrong way round
      {{0xD800, 0xD800, 0xDC00}, U"\uFFFD\U00010000"},
      {{u'a', 0, u'b'}, std::u32string(U"a\0b", 3)},  // a zero is a character
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(FromUtf16(c.units.data(), c.units.size()), c.text) << "case " << i;
  }
}

TEST(TextBytes, LittleEndianKeepsTheLowBytes) {
  const uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(DecodeLittleEndian(bytes, 1), 0x78u);
  EXPECT_EQ(DecodeLittleEndian(bytes, 2), 0x5678u);
  EXPECT_EQ(DecodeLittleEndian(bytes, 3), 0x345678u);
  EXPECT_EQ(DecodeLittleEndian(bytes, 4), 0x12345678u);
  uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EncodeLittleEndian(out, 0x12345678u, 2);
  EXPECT_EQ((std::vector<uint8_t>(out, out + 4)), (std::vector<uint8_t>{0x78, 0x56, 0xAA, 0xAA}));
}

}  // namespace
}  // namespace velmora
