// The emulated machine's handles of the host: file descriptors and folder
// listings, each closed once by its owner, errno kept for the caller.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cerrno>

#include "platform/unique_handle.h"

namespace orvel::posix {

struct FdTraits {
  using Handle = int;
  static int none() { return -1; }
  static bool valid(int fd) { return fd >= 0; }
  static void close(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
  }
};
using Fd = UniqueHandle<FdTraits>;

struct DirTraits {
  using Handle = DIR*;
  static DIR* none() { return nullptr; }
  static bool valid(DIR* dir) { return dir != nullptr; }
  static void close(DIR* dir) {
    const int saved = errno;
    ::closedir(dir);
    errno = saved;
  }
};
using Dir = UniqueHandle<DirTraits>;

}  // namespace orvel::posix
