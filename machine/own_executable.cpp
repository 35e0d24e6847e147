#include "machine/own_executable.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvel::posix {

ExecutableLock lockExecutable(const std::string& hostPath) {
  Fd fd(open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  // Shared: several running copies of one program may hold it at once.
  if (!fd.valid() || flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return {};
  return ExecutableLock(std::move(fd));
}

ExecutableLock lockOwnExecutable() { return lockExecutable("/proc/self/exe"); }

}  // namespace orvel::posix
