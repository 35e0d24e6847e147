// UpdateLock on the emulated machine: an flock on a file of its own in the
// machine root's "locks" folder, named after the locked file's full path in
// upper case, so that every spelling of the path takes the same lock and the
// emulated drives see no extra file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "platform/files.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/paths.h"

namespace orvel::files {
namespace {

constexpr auto kLongestWait = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(2);

std::string lockFileOf(const posix::Machine& machine, const Str& path) {
  // FNV-1a of the upper-case full path.
  uint64_t hash = 14695981039346656037ull;
  for (char16_t c : formats::upcased(posix::fullWindowsPath(machine, path))) {
    hash = (hash ^ static_cast<uint64_t>(c)) * 1099511628211ull;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  return machine.root() + "/locks/" + name;
}

}  // namespace

UpdateLock UpdateLock::acquire(const Str& path) {
  const posix::Machine machine = posix::Machine::current();
  (void)mkdir((machine.root() + "/locks").c_str(), 0777);
  posix::Fd fd(open(lockFileOf(machine, path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  UpdateLock lock;
  if (!fd.valid()) return lock;
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (std::chrono::steady_clock::now() > deadline) return lock;
    std::this_thread::sleep_for(kPoll);
  }
  lock.handle_ = fd.release();
  return lock;
}

void UpdateLock::release() {
  // Closing the descriptor lets go of the flock.
  if (handle_ != -1) posix::Fd closing(static_cast<int>(std::exchange(handle_, -1)));
}

}  // namespace orvel::files
