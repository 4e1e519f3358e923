// The listed paths on Windows: the Windows form is this system's own.
#include <algorithm>

#include "listedpath.h"

namespace velmora {

std::string MapToFileSystem(const std::string& windowsPath) { return windowsPath; }

std::string LocalListedPath(const std::string& localFolder, const std::string& listed) {
  std::string base = localFolder;
  std::replace(base.begin(), base.end(), '/', '\\');
  if (base.empty() || base.back() != '\\') base += '\\';
  return ResolveListedPath(base, listed);
}

}  // namespace velmora
