// The few JSON pieces the CLI prints.
#pragma once
#include <string>

namespace velmora::cli {

// A quoted JSON string of UTF-8 text: quotes, backslashes and control characters
// escaped (controls as \u00XX); bytes that are not valid UTF-8 become U+FFFD.
std::string JsonString(const std::string& utf8);
// The same for a CP1251 text of the core.
std::string JsonCp1251(const std::string& cp1251);

}  // namespace velmora::cli
