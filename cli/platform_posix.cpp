#include <unistd.h>

#include <cstdlib>

#include "base/fileio.h"
#include "platform.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace velmora::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string ExecutableFolder() {
  std::string path;
#if defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  path.resize(size);
  if (_NSGetExecutablePath(path.data(), &size) != 0) return "";
  path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
#else
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return "";
  path.assign(buffer.data(), static_cast<std::size_t>(n));
#endif
  return ParentFolder(path);
}

std::string UserFirmwareFolder() {
  const char* home = std::getenv("HOME");
#if defined(__APPLE__)
  if (home == nullptr || *home == '\0') return "";
  return std::string(home) + "/Library/Application Support/velmora/firmware";
#else
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && *dataHome != '\0') return std::string(dataHome) + "/velmora/firmware";
  if (home == nullptr || *home == '\0') return "";
  return std::string(home) + "/.local/share/velmora/firmware";
#endif
}

}  // namespace velmora::cli
