// Temporary folders and small file helpers for the route file tests.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace velmora::test {

class TempDir {
 public:
  TempDir() {
    // A fresh folder of our own; create_directory fails on a name that exists already.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate = base / ("velmora-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.u8string();
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
