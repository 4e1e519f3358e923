#include <windows.h>
#include <io.h>

#include <cerrno>
#include <filesystem>

#include "regularfile.h"
#include "textbytes.h"

namespace velmora::detail {
namespace {

// The system's own message for a Windows error code, in its language, as UTF-8.
std::string WindowsErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' ||
                           wide.back() == L'.'))
    wide.pop_back();
  if (wide.empty()) return ErrnoText(EIO);
  return Utf8FromWide(wide.data(), wide.size());
}

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

RegularFileReader::~RegularFileReader() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

RegularFileReader::Open RegularFileReader::OpenRegular(const std::string& path,
                                                       std::string& error) {
  const std::filesystem::path wide = std::filesystem::u8path(path);
  // Others may read, write and replace the file while it is read, as with the C runtime.
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Open::Missing;
    // A folder cannot be opened as a file at all; say what it is.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    error = folder ? ErrnoText(EISDIR) : WindowsErrorText(code);
    return Open::Refused;
  }
  // A pipe, a console or a device name such as NUL is no file on a disk.
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER size{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0 ||
      !GetFileSizeEx(h, &size)) {
    CloseHandle(h);
    error = NotRegularFileText();
    return Open::Refused;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  size_ = size.QuadPart > 0 ? static_cast<uint64_t>(size.QuadPart) : 0;
  return Open::Ok;
}

long long RegularFileReader::Read(char* buffer, std::size_t size, std::string& error) {
  DWORD got = 0;
  const DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(handle_), buffer, want, &got, nullptr)) {
    error = WindowsErrorText(GetLastError());
    return -1;
  }
  return static_cast<long long>(got);
}

std::FILE* OpenForWriting(const std::filesystem::path& path, bool append) {
  return _wfopen(path.c_str(), append ? L"ab" : L"wb");
}

bool SyncFile(std::FILE* file) { return _commit(_fileno(file)) == 0; }

const char kLocalSeparators[] = "/\\";

}  // namespace velmora::detail
