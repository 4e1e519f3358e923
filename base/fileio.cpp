#include "fileio.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "regularfile.h"

namespace velmora {
namespace fs = std::filesystem;
namespace {

fs::path PathOf(const std::string& utf8) { return fs::u8path(utf8); }

std::string ErrorText(int error) { return detail::ErrnoText(error); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

FileRead ReadRegularFile(const std::string& path, std::size_t limit, bool whole) {
  FileRead result;
  detail::RegularFileReader file;
  switch (file.OpenRegular(path, result.error)) {
    case detail::RegularFileReader::Open::Missing:
      result.status = ReadStatus::Missing;
      result.error = ErrorText(ENOENT);
      return result;
    case detail::RegularFileReader::Open::Refused:
      result.status = ReadStatus::CannotOpen;
      return result;
    case detail::RegularFileReader::Open::Ok:
      break;
  }
  result.status = ReadStatus::TooLarge;
  result.error = ErrorText(EFBIG);
  if (whole && file.ReportedSize() > limit) return result;
  // Read in pieces and stop past the limit: the size reported may be stale or 0.
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t want = whole ? sizeof buffer : std::min(sizeof buffer, limit - bytes.size());
    if (want == 0) break;
    const long long got = file.Read(buffer, want, result.error);
    if (got < 0) {
      result.status = ReadStatus::ReadShort;
      result.bytes = std::move(bytes);
      return result;
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<std::size_t>(got) > limit) return result;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  result.status = ReadStatus::Ok;
  result.error.clear();
  result.bytes = std::move(bytes);
  return result;
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, std::size_t maxSize) {
  return ReadRegularFile(path, maxSize, true);
}

FileRead ReadFileStart(const std::string& path, std::size_t count) {
  return ReadRegularFile(path, count, false);
}

std::string WriteFileAtomic(const std::string& path, const std::string& bytes) {
  fs::path target = PathOf(path);
  std::error_code ec;
  // A linked route list is replaced where it lies, and the link stays a link.
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  // A file that may not be written is not replaced either, as when it was written in place.
  if (fs::is_regular_file(target, ec)) {
    errno = 0;
    std::FILE* existing = detail::OpenForWriting(target, true);
    if (!existing) return ErrorText(errno);
    std::fclose(existing);
  }

  std::random_device rd;
  fs::path temp;
  for (int attempt = 0;; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
    temp = target;
    temp += suffix;
    if (!fs::exists(temp, ec) || attempt >= 16) break;
  }

  errno = 0;
  std::FILE* f = detail::OpenForWriting(temp, false);
  if (!f) return ErrorText(errno);

  auto fail = [&](int error) {
    std::fclose(f);
    std::error_code ignored;
    fs::remove(temp, ignored);
    return ErrorText(error);
  };
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    return fail(errno);
  }
  errno = 0;
  if (std::fflush(f) != 0) return fail(errno);
  errno = 0;
  if (!detail::SyncFile(f)) return fail(errno);
  errno = 0;
  if (std::fclose(f) != 0) {
    const int error = errno;
    std::error_code ignored;
    fs::remove(temp, ignored);
    return ErrorText(error);
  }

  // The replacement keeps the permissions of the file it replaces.
  const auto status = fs::status(target, ec);
  if (!ec && fs::exists(status)) fs::permissions(temp, status.permissions(), ec);

  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return ec.message();
  }
  return std::string();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(PathOf(path), ec);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return FileExists(a);
  std::error_code ec;
  return fs::equivalent(PathOf(a), PathOf(b), ec) && !ec;
}

std::string FolderOf(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  if (sep == std::string::npos) return std::string();
  // Keep the separator of a root ("/", "C:\") so that the folder still names the root.
  if (sep == 0 || (sep == 2 && path[1] == ':')) return path.substr(0, sep + 1);
  std::size_t end = sep;
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ExtensionOf(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return std::string();
  return path.substr(dot);
}

std::string LowerExtensionOf(const std::string& path) {
  std::string extension = ExtensionOf(path);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const std::string current = ExtensionOf(path);
  return path.substr(0, path.size() - current.size()) + extension;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return IsSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t at = path.find_last_of(detail::kLocalSeparators);
  if (at == std::string::npos) return ".";
  if (at == 0) return path.substr(0, 1);
  return path.substr(0, at);
}

std::string BaseName(const std::string& path) {
  const std::size_t at = path.find_last_of(detail::kLocalSeparators);
  return at == std::string::npos ? path : path.substr(at + 1);
}

namespace detail {

std::string ErrnoText(int error) {
  if (error == 0) error = EIO;
  return std::error_code(error, std::generic_category()).message();
}

std::string NotRegularFileText() { return "Not a regular file"; }

}  // namespace detail
}  // namespace velmora
