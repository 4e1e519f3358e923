// What the listed-path resolver shares with its per-system halves (listedpath_*.cpp).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace velmora::detail {

bool IsPathSeparator(char c);  // "\" or "/"
// "X:" or "\\server\share"; 0 when the path names no drive.
std::size_t DriveLength(const std::string& path);
// The names between separators, empty ones left out.
std::vector<std::string> SplitFolders(const std::string& path);
// The path begins with "..\" or "../".
bool StartsWithUp(const std::string& path);

}  // namespace velmora::detail
