// Windows keeps the file of a running program: it cannot be deleted or
// overwritten until the program ends. The emulated machine does the same
// with a shared flock on the program's file, which the file services
// respect (see files.cpp).
#pragma once

#include <string>
#include <utility>

#include "machine/handles.h"

namespace orvel::posix {

// A shared flock on a program file, held until destroyed. Move-only. Not
// inherited by started programs or the batch interpreter.
class ExecutableLock {
 public:
  ExecutableLock() = default;
  explicit ExecutableLock(Fd fd) : fd_(std::move(fd)) {}

  bool held() const { return fd_.valid(); }
  void release() { fd_.reset(); }

 private:
  Fd fd_;
};

// Locks the file at a host path; not held when it cannot be opened.
ExecutableLock lockExecutable(const std::string& hostPath);
// Locks the running program's own file (/proc/self/exe).
ExecutableLock lockOwnExecutable();

}  // namespace orvel::posix
