#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "regularfile.h"

namespace velmora::detail {

RegularFileReader::~RegularFileReader() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

RegularFileReader::Open RegularFileReader::OpenRegular(const std::string& path,
                                                       std::string& error) {
  // O_NONBLOCK: opening a FIFO without a writer, or a terminal, returns at once. The type is then
  // taken from the descriptor itself, so nothing can be swapped in between.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (e == ENOENT) return Open::Missing;
    error = ErrnoText(e);
    return Open::Refused;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = ErrnoText(errno);
    ::close(fd);
    return Open::Refused;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? ErrnoText(EISDIR) : NotRegularFileText();
    ::close(fd);
    return Open::Refused;
  }
  handle_ = fd;
  size_ = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  return Open::Ok;
}

long long RegularFileReader::Read(char* buffer, std::size_t size, std::string& error) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    error = ErrnoText(errno);
    return -1;
  }
}

std::FILE* OpenForWriting(const std::filesystem::path& path, bool append) {
  return std::fopen(path.c_str(), append ? "ab" : "wb");
}

bool SyncFile(std::FILE* file) { return fsync(fileno(file)) == 0; }

const char kLocalSeparators[] = "/";

}  // namespace velmora::detail
