// Text and byte rules below the codecs, each kept in this one place: UTF-16 surrogate pairs, the
// system's wide strings, letter case for comparing names, and little-endian fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// ---- UTF-16

constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
// The character of a high and a low surrogate.
constexpr char32_t JoinSurrogates(char32_t high, char32_t low) {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
// A unit not joined to another: its own character, or U+FFFD for a surrogate, which has none.
constexpr char32_t LoneUnit(char32_t unit) {
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) ? U'\uFFFD' : unit;
}

// `count` UTF-16 units as characters: a pair as one, a lone surrogate as U+FFFD; a zero unit is
// a character like any other.
std::u32string FromUtf16(const char16_t* units, std::size_t count);

// ---- The system's wide strings: wchar_t holds UTF-16 on Windows and UTF-32 elsewhere.

// The characters of `text` up to its first zero or `maxUnits` units, whichever comes first.
std::u32string FromWide(const wchar_t* text, std::size_t maxUnits);

// Windows only (textbytes_windows.cpp): wide text and UTF-8 converted as the system converts
// them. "" when the system refuses.
std::string Utf8FromWide(const wchar_t* text, std::size_t length);
std::wstring WideFromUtf8(const std::string& utf8);

// ---- Letter case

// The small letter of an ASCII, Latin-1 or Cyrillic capital (Ё and the other Ѐ..Џ included);
// every other character as it is. For comparing names and words, not for display.
constexpr char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

// ---- Little-endian fields of 0 to 8 bytes (a count outside that range is taken as the nearer
// end of it).

uint64_t DecodeLittleEndian(const uint8_t* bytes, int count);
// Writes the low `count` bytes of `value`.
void EncodeLittleEndian(uint8_t* destination, uint64_t value, int count);

}  // namespace velmora
