// The fakes that every layer's tests share: a temporary folder, whole-file reads and writes, a
// clock. Paths are UTF-8 throughout: a narrow path is the ANSI code page on Windows.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/clock.h"

namespace velmora::test {

// A fresh folder of our own, removed with all it holds.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    // create_directory fails on a name that exists already.
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate = base / ("velmora-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.u8string();
    }
    if (path_.empty()) ADD_FAILURE() << "no temporary folder";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(std::filesystem::u8path(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(std::filesystem::u8path(path_), ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::filesystem::path Fs() const { return std::filesystem::u8path(path_); }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes the file, and the folders on its way; returns its path.
  std::string Write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path p =
        std::filesystem::u8path(path_) / std::filesystem::u8path(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.u8string();
  }
  std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    return Write(relative, std::string(bytes.begin(), bytes.end()));
  }

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

// Stands at `now`; its monotonic time moves only by the sleeps, which it records.
class FakeClock : public Clock {
 public:
  DateTime Now() const override { return now; }
  int64_t MonotonicMs() const override { return ms; }
  void SleepMs(int m) override {
    sleeps.push_back(m);
    ms += m;
  }
  int SleepsOf(int m) const { return static_cast<int>(std::count(sleeps.begin(), sleeps.end(), m)); }
  DateTime now{2026, 12, 7, 14, 5, 9, 0};
  int64_t ms = 0;
  std::vector<int> sleeps;
};

}  // namespace velmora::test
