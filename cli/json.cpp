#include "json.h"

#include <cstdio>

#include "routes/cp1251.h"

namespace velmora::cli {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
      ++i;
    } else {
      const std::size_t n = velmora::utf8::SequenceLength(utf8, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(utf8, i, n);
        i += n;
      }
    }
  }
  out += '"';
  return out;
}

std::string JsonCp1251(const std::string& cp1251) { return JsonString(cp1251::ToUtf8(cp1251)); }

}  // namespace velmora::cli
