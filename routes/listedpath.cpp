#include "listedpath.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/textbytes.h"
#include "listedpathparts.h"

namespace velmora {
namespace fs = std::filesystem;

namespace detail {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t DriveLength(const std::string& p) {
  if (p.size() >= 2 && p[1] == ':' &&
      ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
    return 2;
  if (p.size() >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1])) {
    std::size_t i = 2;
    while (i < p.size() && !IsPathSeparator(p[i])) ++i;  // server
    if (i < p.size()) ++i;
    while (i < p.size() && !IsPathSeparator(p[i])) ++i;  // share
    return i;
  }
  return 0;
}

std::vector<std::string> SplitFolders(const std::string& s) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : s) {
    if (IsPathSeparator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool StartsWithUp(const std::string& r) {
  return r.size() >= 3 && r[0] == '.' && r[1] == '.' && IsPathSeparator(r[2]);
}

}  // namespace detail

using detail::DriveLength;
using detail::IsPathSeparator;
using detail::SplitFolders;
using detail::StartsWithUp;

namespace {

std::u32string Fold(const std::string& utf8) {
  std::u32string out;
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n;) {
    char32_t c = s[i];
    std::size_t len = 1;
    if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
      c = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80) {
      c = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if (c >= 0xF0 && c <= 0xF4 && i + 3 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
      c = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
          (s[i + 3] & 0x3F);
      len = 4;
    } else if (c >= 0x80) {
      c = 0xDC00 + c;  // a stray byte compares only with itself
    }
    out.push_back(FoldCase(c));
    i += len;
  }
  return out;
}

// E relative to B when both are on the same drive: the common leading folders removed,
// each remaining folder of B as "..\".
std::string RelativeToBase(const std::string& base, std::size_t baseDrive,
                           const std::string& listed, std::size_t listedDrive) {
  const std::string rest = listed.substr(listedDrive);
  std::size_t lastSep = rest.find_last_of("\\/");
  const std::string folder = lastSep == std::string::npos ? "" : rest.substr(0, lastSep + 1);
  const std::string name = lastSep == std::string::npos ? rest : rest.substr(lastSep + 1);
  const std::vector<std::string> b = SplitFolders(base.substr(baseDrive));
  const std::vector<std::string> e = SplitFolders(folder);
  std::size_t common = 0;
  while (common < b.size() && common < e.size() && SameNameIgnoringCase(b[common], e[common]))
    ++common;
  std::string r;
  for (std::size_t i = common; i < b.size(); ++i) r += "..\\";
  for (std::size_t i = common; i < e.size(); ++i) r += e[i] + "\\";
  return r + name;
}

}  // namespace

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return Fold(a) == Fold(b);
}

std::string ResolveListedPath(const std::string& base, const std::string& listed) {
  if (listed.empty()) return std::string();
  const std::size_t bd = DriveLength(base);
  const std::size_t ed = DriveLength(listed);
  const bool eHasDrive = ed > 0;
  const bool sameDrive =
      eHasDrive && bd > 0 && SameNameIgnoringCase(base.substr(0, bd), listed.substr(0, ed));
  const std::string r = sameDrive ? RelativeToBase(base, bd, listed, ed) : listed;

  const bool hasFolder = r.find_first_of("\\/:") != std::string::npos;
  if (!hasFolder) return (!eHasDrive || sameDrive) ? base + r : listed;
  // A listed drive that is not the base's names its own place; a base without a drive
  // (a folder of this system) cannot hold it either.
  if (eHasDrive && !sameDrive) return listed;

  std::string start = base;
  if (!start.empty() && IsPathSeparator(start.back())) start.pop_back();
  std::size_t from = 0;
  while (StartsWithUp(r.substr(from, 3))) {
    from += 3;
    const std::size_t cut = start.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0) start.erase(cut);
  }
  return start + (start.empty() ? "" : "\\") + r.substr(from);
}

std::string WindowsFormFolder(const std::string& localPath) {
  std::error_code ec;
  fs::path abs = fs::absolute(fs::u8path(localPath), ec);
  std::string s = ec ? localPath : abs.u8string();
  std::replace(s.begin(), s.end(), '/', '\\');
  const std::size_t sep = s.find_last_of('\\');
  if (sep == std::string::npos) return ".\\";
  return s.substr(0, sep + 1);
}

std::string LocalFolderOf(const std::string& localPath) {
  std::error_code ec;
  const fs::path abs = fs::absolute(fs::u8path(localPath), ec);
  return (ec ? fs::u8path(localPath) : abs).parent_path().u8string();
}

}  // namespace velmora
