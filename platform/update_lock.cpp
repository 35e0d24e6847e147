// The moves of the update lock, the same on every backend: each backend
// defines only how the lock is taken and let go.
#include "platform/files.h"

#include <utility>

namespace orvel::files {

UpdateLock::UpdateLock(UpdateLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

UpdateLock& UpdateLock::operator=(UpdateLock&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

UpdateLock::~UpdateLock() { release(); }

}  // namespace orvel::files
