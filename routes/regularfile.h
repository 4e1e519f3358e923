// Opens a file for reading only when it is a regular file, and never blocks on the way: a FIFO,
// socket, device or folder is refused at the open. One implementation per system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora::detail {

class RegularFileReader {
 public:
  enum class Open { Ok, Missing, Refused };

  RegularFileReader() = default;
  ~RegularFileReader();
  RegularFileReader(const RegularFileReader&) = delete;
  RegularFileReader& operator=(const RegularFileReader&) = delete;

  // `path` is UTF-8. Missing: no file by that name. Refused: it exists but cannot be opened, or is
  // no regular file; `error` then holds the reason (UTF-8).
  Open OpenRegular(const std::string& path, std::string& error);
  // The size the open file reports; a file of /proc may report 0 and still hold bytes.
  uint64_t ReportedSize() const { return size_; }
  // Bytes read into `buffer`, 0 at the end, -1 on a failure with `error` set.
  long long Read(char* buffer, std::size_t size, std::string& error);

 private:
  std::intptr_t handle_ = -1;
  uint64_t size_ = 0;
};

// The separators of this system's own paths: "/", and "\" too on Windows.
extern const char kLocalSeparators[];

// The reason given for a FIFO, socket or device (UTF-8).
std::string NotRegularFileText();
// The system's text for an errno value (UTF-8).
std::string ErrnoText(int error);

}  // namespace velmora::detail
