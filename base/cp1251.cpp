#include "cp1251.h"

#include <array>

namespace velmora::cp1251 {
namespace {

// The upper half of Windows-1251. 0x98 is undefined there; ICU passes it through as U+0098.
constexpr std::array<char16_t, 128> kUpper = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

void AppendUtf8(std::string& out, char32_t ch) {
  if (ch < 0x80) {
    out += static_cast<char>(ch);
  } else if (ch < 0x800) {
    out += static_cast<char>(0xC0 | (ch >> 6));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    out += static_cast<char>(0xE0 | (ch >> 12));
    out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (ch >> 18));
    out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at `pos`, advancing it; kInvalid for a malformed one
// (overlong forms, surrogates and values above U+10FFFF included).
char32_t NextUtf8(const std::string& s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos++]);
  if (b0 < 0x80) return b0;
  int extra;
  char32_t ch;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, ch = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, ch = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, ch = b0 & 0x07, min = 0x10000;
  } else {
    return kInvalid;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= s.size()) return kInvalid;
    const auto b = static_cast<unsigned char>(s[pos]);
    if ((b & 0xC0) != 0x80) return kInvalid;
    ch = (ch << 6) | (b & 0x3F);
    ++pos;
  }
  if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return kInvalid;
  return ch;
}

}  // namespace

char32_t ToUnicode(unsigned char byte) {
  if (byte < 0x80) return byte;
  return kUpper[byte - 0x80];
}

bool FromUnicode(char32_t ch, unsigned char& byte) {
  if (ch < 0x80) {
    byte = static_cast<unsigned char>(ch);
    return true;
  }
  for (std::size_t i = 0; i < kUpper.size(); ++i) {
    if (kUpper[i] == ch) {
      byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::u32string Decode(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (char c : text) out += ToUnicode(static_cast<unsigned char>(c));
  return out;
}

std::string Encode(const std::u32string& text, char replacement) {
  std::string out;
  out.reserve(text.size());
  for (char32_t ch : text) {
    unsigned char b;
    out += FromUnicode(ch, b) ? static_cast<char>(b) : replacement;
  }
  return out;
}

std::string ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string FromUtf8(const std::string& utf8, char replacement) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t ch = NextUtf8(utf8, pos);
    unsigned char b;
    out += (ch != kInvalid && FromUnicode(ch, b)) ? static_cast<char>(b) : replacement;
  }
  return out;
}

}  // namespace velmora::cp1251

namespace velmora::utf8 {

std::string Encode(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    cp1251::AppendUtf8(out, c);
  }
  return out;
}

std::u32string Decode(const std::string& text) {
  std::u32string out;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t ch = cp1251::NextUtf8(text, pos);
    out.push_back(ch == cp1251::kInvalid ? 0xFFFD : ch);
  }
  return out;
}

std::size_t SequenceLength(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  std::size_t end = pos;
  return cp1251::NextUtf8(text, end) == cp1251::kInvalid ? 0 : end - pos;
}

}  // namespace velmora::utf8
