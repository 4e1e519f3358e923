// Inputs that are there but cannot be read: a FIFO (a plain open of it blocks for ever), a
// folder, a file without read permission. CI runs as root, whom permissions do not bind, so
// reads of the last run with the effective user "nobody".
#pragma once
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora::test {

enum class Unreadable { Fifo, Folder, NoPermission };
constexpr Unreadable kUnreadableKinds[] = {Unreadable::Fifo, Unreadable::Folder,
                                           Unreadable::NoPermission};
constexpr const char* kKindNames[] = {"FIFO", "folder", "no permission"};
inline const char* KindName(Unreadable k) { return kKindNames[static_cast<int>(k)]; }

// False where the system has no such thing (FIFOs and permissions on Windows).
inline bool MakeUnreadable(Unreadable kind, const std::string& path, const std::string& bytes) {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::u8path(path), ec);
  if (kind == Unreadable::Folder) return std::filesystem::create_directory(path, ec);
#ifndef _WIN32
  if (kind == Unreadable::Fifo) return mkfifo(path.c_str(), 0644) == 0;
  std::ofstream(path, std::ios::binary) << bytes;
  return chmod(path.c_str(), 0) == 0;
#else
  (void)bytes;
  return false;
#endif
}

template <typename F>
void AsUnprivileged(F&& f) {
#ifndef _WIN32
  const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
  if (nobody && setegid(nobody->pw_gid) == 0 && seteuid(nobody->pw_uid) == 0) {
    f();
    if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
    return;
  }
#endif
  f();
}

// The reason the reader gives for each kind.
inline std::string UnreadableReason(Unreadable kind) {
  if (kind == Unreadable::Fifo) return "Not a regular file";
  const int e = kind == Unreadable::Folder ? EISDIR : EACCES;
  return std::error_code(e, std::generic_category()).message();
}

}  // namespace velmora::test
