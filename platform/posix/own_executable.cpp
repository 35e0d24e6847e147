#include "platform/posix/own_executable.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace orvel::posix {

ExecutableLock::ExecutableLock(ExecutableLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ExecutableLock& ExecutableLock::operator=(ExecutableLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

ExecutableLock::~ExecutableLock() { release(); }

void ExecutableLock::release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

ExecutableLock lockExecutable(const std::string& hostPath) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  // Shared: several running copies of one program may hold it at once.
  if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
    close(fd);
    return {};
  }
  return ExecutableLock(fd);
}

ExecutableLock lockOwnExecutable() { return lockExecutable("/proc/self/exe"); }

}  // namespace orvel::posix
