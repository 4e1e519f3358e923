// The listed paths on a system of "/" paths without drives, whose names differ by letter case.
#include <filesystem>
#include <system_error>

#include "listedpath.h"
#include "listedpathparts.h"

namespace velmora {
namespace fs = std::filesystem;
using detail::DriveLength;
using detail::SplitFolders;
namespace {

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Appends the names to a folder of this system, each looked up without regard to letter case where
// it does not exist as written.
std::string MapNamesUnder(std::string current, const std::vector<std::string>& names) {
  bool lookUp = true;
  for (const std::string& part : names) {
    const std::string joined = Join(current, part);
    std::error_code ec;
    if (!lookUp || part == "." || part == ".." || fs::exists(fs::u8path(joined), ec)) {
      current = joined;
      continue;
    }
    // The first match in name order, so that the same file is found every time.
    std::string match;
    const fs::path dir = fs::u8path(current.empty() ? "." : current);
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().u8string();
      if (SameNameIgnoringCase(name, part) && (match.empty() || name < match)) match = name;
    }
    if (match.empty()) {
      lookUp = false;  // nothing below a missing folder exists
      current = joined;
    } else {
      current = Join(current, match);
    }
  }
  return current;
}

}  // namespace

std::string MapToFileSystem(const std::string& windowsPath) {
  if (windowsPath.empty() || DriveLength(windowsPath) > 0) return std::string();
  return MapNamesUnder(detail::IsPathSeparator(windowsPath[0]) ? "/" : "",
                       SplitFolders(windowsPath));
}

std::string LocalListedPath(const std::string& localFolder, const std::string& listed) {
  // The folder has no drive here, so a listed drive names a place this system lacks.
  if (listed.empty() || DriveLength(listed) > 0) return std::string();
  // Up steps at the front climb out of the folder, as ResolveListedPath climbs out of its base;
  // they stop at the folder's first name.
  std::vector<std::string> folders;
  for (std::size_t from = 0; from < localFolder.size();) {
    std::size_t to = localFolder.find('/', from);
    if (to == std::string::npos) to = localFolder.size();
    if (to > from) folders.push_back(localFolder.substr(from, to - from));
    from = to + 1;
  }
  const bool hasFolder = listed.find_first_of("\\/:") != std::string::npos;
  std::size_t from = 0;
  while (hasFolder && detail::StartsWithUp(listed.substr(from, 3))) {
    from += 3;
    if (folders.size() > 1) folders.pop_back();
  }
  std::string start = !localFolder.empty() && localFolder[0] == '/' ? "/" : "";
  for (const std::string& f : folders) start = Join(start, f);
  return MapNamesUnder(start, SplitFolders(listed.substr(from)));
}

}  // namespace velmora
