// Windows-1251 <-> Unicode. Every text of the program is held as CP1251 bytes;
// the window and the CLI convert at their edges with these functions.
#pragma once
#include <string>

namespace velmora::cp1251 {

// 0x98, which CP1251 leaves undefined, maps to U+0098 (as ICU does).
char32_t ToUnicode(unsigned char byte);
// False when the character has no CP1251 byte.
bool FromUnicode(char32_t ch, unsigned char& byte);

std::u32string Decode(const std::string& text);
std::string Encode(const std::u32string& text, char replacement = '?');
std::string ToUtf8(const std::string& text);
// Invalid UTF-8 and characters without a CP1251 byte become `replacement`.
std::string FromUtf8(const std::string& utf8, char replacement = '?');

}  // namespace velmora::cp1251

// The UTF-8 pieces the codec is built on, for the CLI and the simulated device's strings.
namespace velmora::utf8 {

// Surrogates and values above U+10FFFF become U+FFFD.
std::string Encode(const std::u32string& text);
// Malformed sequences become U+FFFD.
std::u32string Decode(const std::string& text);
// Length of the valid UTF-8 sequence at `pos`, 0 when there is none.
std::size_t SequenceLength(const std::string& text, std::size_t pos);

}  // namespace velmora::utf8

namespace velmora {
// The program's own texts are written in the sources as UTF-8 literals.
inline std::string Cp(const char* utf8) { return cp1251::FromUtf8(utf8); }
}  // namespace velmora
