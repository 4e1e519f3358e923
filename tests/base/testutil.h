// Small file helpers for the file tests: the names in a folder, a tiny tmpfs.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "fakes.h"

namespace velmora::test {

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(folder), ec))
    names.push_back(e.path().filename().u8string());
  return names;
}

// A tiny tmpfs mounted over a folder; needs root on Linux. Mounted() is false elsewhere.
class TinyTmpfs {
 public:
  explicit TinyTmpfs(const std::string& folder, [[maybe_unused]] const char* options = "size=16k")
      : folder_(folder) {
#ifdef __linux__
    if (geteuid() == 0) mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options) == 0;
#endif
  }
  ~TinyTmpfs() {
#ifdef __linux__
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
#endif
  }
  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() {
#ifdef __linux__
    return mounted_ &&
           mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#else
    return false;
#endif
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace velmora::test
