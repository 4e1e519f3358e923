#include <gtest/gtest.h>
#if __has_include(<iconv.h>)
#include <iconv.h>
#define VELMORA_HAVE_ICONV 1
#endif

#include <string>

#include "base/cp1251.h"

using namespace velmora;

#ifdef VELMORA_HAVE_ICONV
TEST(Cp1251, AgreesWithIconvOnEveryDefinedByte) {
  iconv_t cd = iconv_open("UTF-32LE", "CP1251");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int defined = 0;
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* inp = &in;
    char* outp = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) {
      EXPECT_EQ(b, 0x98) << "iconv rejects only the undefined byte";
      continue;
    }
    ++defined;
    const char32_t expected = out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
    EXPECT_EQ(cp1251::ToUnicode(static_cast<unsigned char>(b)), expected) << "byte " << b;
  }
  iconv_close(cd);
  EXPECT_EQ(defined, 255);
}
#endif

TEST(Cp1251, UndefinedByteFollowsIcu) {
  EXPECT_EQ(cp1251::ToUnicode(0x98), U'\u0098');
  unsigned char b = 0;
  ASSERT_TRUE(cp1251::FromUnicode(U'\u0098', b));
  EXPECT_EQ(b, 0x98);
}

TEST(Cp1251, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    unsigned char back = 0;
    ASSERT_TRUE(cp1251::FromUnicode(cp1251::ToUnicode(static_cast<unsigned char>(b)), back));
    EXPECT_EQ(back, b);
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(cp1251::FromUtf8(cp1251::ToUtf8(all)), all);
  EXPECT_EQ(cp1251::Encode(cp1251::Decode(all)), all);
}

TEST(Cp1251, Utf8Conversions) {
  EXPECT_EQ(Cp("Маршрут"), "\xCC\xE0\xF0\xF8\xF0\xF3\xF2");
  EXPECT_EQ(Cp("№ Ёё"), "\xB9 \xA8\xB8");
  EXPECT_EQ(cp1251::ToUtf8("\xC0\xDF\xE0\xFF"), "АЯая");
  EXPECT_EQ(cp1251::ToUtf8("\x88"), "€");
}

TEST(Cp1251, UnrepresentableAndMalformedInputBecomesReplacement) {
  unsigned char b = 0;
  EXPECT_FALSE(cp1251::FromUnicode(U'ä', b));
  EXPECT_FALSE(cp1251::FromUnicode(U'\u4E2D', b));
  EXPECT_FALSE(cp1251::FromUnicode(U'\u00C0', b));
  EXPECT_EQ(cp1251::FromUtf8("aä中😀b"), "a???b");
  // Truncated sequence, stray continuation byte; an overlong "/" and an encoded surrogate
  // each become one replacement.
  EXPECT_EQ(cp1251::FromUtf8("x\xD0"), "x?");
  EXPECT_EQ(cp1251::FromUtf8("\x80y"), "?y");
  EXPECT_EQ(cp1251::FromUtf8("\xC0\xAF"), "?");
  EXPECT_EQ(cp1251::FromUtf8("\xED\xA0\x80", '#'), "#");
  EXPECT_EQ(cp1251::Encode(U"a\u4E2Db", '_'), "a_b");
}

TEST(Utf8, EncodeDecodeAndSequenceLengths) {
  const std::u32string text = U"Вокзал 12 \U0001F68C";
  EXPECT_EQ(utf8::Encode(text), "Вокзал 12 \xF0\x9F\x9A\x8C");
  EXPECT_EQ(utf8::Decode(utf8::Encode(text)), text);
  EXPECT_EQ(utf8::Encode(std::u32string{0xD800, U'a', 0x110000}), "\xEF\xBF\xBD" "a" "\xEF\xBF\xBD");
  EXPECT_EQ(utf8::Decode("a\xFF" "b"), (std::u32string{U'a', 0xFFFD, U'b'}));
  const std::string s = "aЖ\xF0\x9F\x9A\x8C\xC0\xAF";
  EXPECT_EQ(utf8::SequenceLength(s, 0), 1u);
  EXPECT_EQ(utf8::SequenceLength(s, 1), 2u);
  EXPECT_EQ(utf8::SequenceLength(s, 3), 4u);
  EXPECT_EQ(utf8::SequenceLength(s, 7), 0u) << "an overlong form is no sequence";
  EXPECT_EQ(utf8::SequenceLength(s, s.size()), 0u);
  EXPECT_EQ(utf8::SequenceLength("\xE2\x82", 0), 0u) << "a sequence cut short";
}
