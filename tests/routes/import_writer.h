// Builds Dorlan files byte by byte for the import tests.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp1251.h"
#include "fakes.h"

namespace velmora::test {

// A sequence of length-prefixed strings.
class DorlanWriter {
 public:
  DorlanWriter& Str(const std::string& text) {
    bytes_.push_back(static_cast<char>(static_cast<unsigned char>(text.size())));
    bytes_ += text;
    return *this;
  }
  // A string whose length byte promises more than follows.
  DorlanWriter& Truncated(unsigned char promised, const std::string& present) {
    bytes_.push_back(static_cast<char>(promised));
    bytes_ += present;
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }
  operator const std::string&() const { return bytes_; }  // for TempDir::Write

 private:
  std::string bytes_;
};

// How the resolved paths of this system separate their parts.
#ifdef _WIN32
constexpr char kSep[] = "\\";
#else
constexpr char kSep[] = "/";
#endif

inline std::string Signature(const std::string& version, const std::string& kind) {
  return version + std::string(36, 'N') + kind;
}

struct Stop {
  std::string name;
  unsigned char flag = 0;
};

constexpr unsigned char kMarkA = 8;
constexpr unsigned char kMarkB = 16;

// A complete line file. `startText`/`finalText` are written for versions from 0209 on.
inline DorlanWriter LineFile(const std::string& version, const std::string& designation,
                             const std::vector<Stop>& stops, const std::string& startText = "",
                             const std::string& finalText = "") {
  DorlanWriter w;
  w.Str(Signature(version, "Vexa Single Line")).Str(designation).Str("..\\maps\\m.bin");
  w.Str(std::string("four\0second", 11));
  w.Str("5").Str("6").Str("7").Str("8");
  if (version >= "0204") w.Str(std::string("nine\0x", 6)).Str(std::string("ten\0y", 5));
  if (version >= "0209") w.Str(startText).Str(finalText).Str("42");
  w.Str("Count=" + std::to_string(stops.size()));
  for (const Stop& s : stops) {
    w.Str(s.name + std::string("\0second", 7));
    w.Str(std::string(1, static_cast<char>(s.flag)) + "text");
    w.Str(std::string("third\0z", 7));
  }
  return w;
}

inline DorlanWriter GroupFile(const std::vector<std::string>& listed, const std::string& countLine) {
  DorlanWriter w;
  w.Str(Signature("0201", "Vexa Group Line")).Str("Group").Str(countLine);
  for (const std::string& l : listed) w.Str(l);
  return w;
}

inline DorlanWriter GroupFile(const std::vector<std::string>& listed) {
  return GroupFile(listed, "Count=" + std::to_string(listed.size()));
}

}  // namespace velmora::test
