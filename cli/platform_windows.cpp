#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "base/fileio.h"
#include "base/textbytes.h"
#include "platform.h"

namespace velmora::cli {

// argv holds the ANSI code page; the wide command line keeps Cyrillic file names whole.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    args.push_back(Utf8FromWide(wide[i], static_cast<std::size_t>(lstrlenW(wide[i]))));
  }
  LocalFree(wide);
  return args;
}

// LF line ends as on every other system: scripts compare the output byte for byte.
void PrepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::string ExecutableFolder() {
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return "";
  return ParentFolder(Utf8FromWide(buffer.data(), n));
}

// On Windows the window lists only the executable's folder.
std::string UserFirmwareFolder() { return ""; }

}  // namespace velmora::cli
