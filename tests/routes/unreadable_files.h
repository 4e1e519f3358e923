// Inputs that are there but cannot be read: a FIFO (which blocks a plain open for ever), a folder,
// and a file without read permission. The tests run as root in CI, where a permission does not stop
// a read, so those reads run with the rights of "nobody".
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

inline const char* KindName(Unreadable kind) {
  return kind == Unreadable::Fifo     ? "FIFO"
         : kind == Unreadable::Folder ? "folder"
                                      : "no permission";
}

// Makes `path` into that kind of input; a file without permission holds `bytes`. False where the
// system has no such thing (no FIFOs or permissions on Windows).
inline bool MakeUnreadable(Unreadable kind, const std::string& path, const std::string& bytes) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::remove_all(fs::u8path(path), ec);
  switch (kind) {
    case Unreadable::Folder:
      return fs::create_directory(fs::u8path(path), ec);
#ifndef _WIN32
    case Unreadable::Fifo:
      return mkfifo(path.c_str(), 0644) == 0;
    case Unreadable::NoPermission: {
      std::ofstream(fs::u8path(path), std::ios::binary) << bytes;
      return chmod(path.c_str(), 0) == 0;
    }
#endif
    default:
      return false;
  }
}

// Runs `f` with the effective user and group of "nobody" when running as root.
template <typename F>
void AsUnprivileged(F&& f) {
#ifndef _WIN32
  const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
  if (nobody != nullptr && setegid(nobody->pw_gid) == 0 && seteuid(nobody->pw_uid) == 0) {
    f();
    if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
    return;
  }
#endif
  f();
}

// The reason the reader gives for a kind of input; permission texts come from the system.
inline std::string UnreadableReason(Unreadable kind) {
  if (kind == Unreadable::Fifo) return "Not a regular file";
  return std::error_code(kind == Unreadable::Folder ? EISDIR : EACCES, std::generic_category())
      .message();
}

}  // namespace velmora::test
