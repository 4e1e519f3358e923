// The system's side of fileio, one implementation per system (regularfile_*.cpp). The reader opens
// a file only when it is a regular file, and never blocks on the way: a FIFO, socket, device or
// folder is refused at the open.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
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

// Opens a file through the C runtime for writing from its start or at its end; errno says why not.
// The C runtime sets errno on every failure, on Windows as elsewhere; the wide open there is what
// lets a UTF-8 path with Cyrillic letters through.
std::FILE* OpenForWriting(const std::filesystem::path& path, bool append);
// Flushes what the system holds of the file to the disk; errno says why not.
bool SyncFile(std::FILE* file);

// The separators of this system's own paths: "/", and "\" too on Windows.
extern const char kLocalSeparators[];

// The reason given for a FIFO, socket or device (UTF-8).
std::string NotRegularFileText();
// The system's text for an errno value (UTF-8).
std::string ErrnoText(int error);

}  // namespace velmora::detail
