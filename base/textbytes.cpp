#include "textbytes.h"

#include <algorithm>

namespace velmora {

std::u32string FromUtf16(const char16_t* units, std::size_t count) {
  std::u32string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t unit = units[i];
    if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
      out += JoinSurrogates(unit, units[i + 1]);
      ++i;
    } else {
      out += LoneUnit(unit);
    }
  }
  return out;
}

std::u32string FromWide(const wchar_t* text, std::size_t maxUnits) {
  const std::size_t length = std::find(text, text + maxUnits, L'\0') - text;
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    const std::u16string units(text, text + length);
    return FromUtf16(units.data(), units.size());
  } else {
    return std::u32string(text, text + length);
  }
}

uint64_t DecodeLittleEndian(const uint8_t* bytes, int count) {
  count = std::clamp(count, 0, 8);
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

void EncodeLittleEndian(uint8_t* destination, uint64_t value, int count) {
  count = std::clamp(count, 0, 8);
  for (int i = 0; i < count; ++i) {
    destination[i] = static_cast<uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace velmora
