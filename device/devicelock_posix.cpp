#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "devicelock.h"
#include "transport.h"

namespace velmora {

DeviceLock::~DeviceLock() { Release(); }

int DeviceLock::Acquire(const std::string& path) {
  Release();
  // A descriptor of its own: hidapi gives no access to the one behind its handle, and a
  // flock belongs to the open file, so it holds against every other open of the node.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return kStatusOk;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? kStatusInUse : kStatusOk;
  }
  fd_ = fd;
  return kStatusOk;
}

void DeviceLock::Release() {
  if (fd_ < 0) return;
  close(fd_);   // closing the last descriptor of the open file drops the lock
  fd_ = -1;
}

bool DeviceLock::Available() { return true; }

}  // namespace velmora
