// Open folders of the host, kept by the paths the look-ups found them at, so
// that the calls on a name in a folder (look, open, create, rename, list)
// go from the folder and do not walk its whole path again. A handle is
// only handed out for the folder that a look at its path has just shown:
// a folder moved or replaced since is opened afresh.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string_view>

#include "machine/handles.h"

namespace orvel::posix {

class FolderHandle {
 public:
  FolderHandle(Fd fd, dev_t dev, ino_t ino) : fd_(std::move(fd)), dev_(dev), ino_(ino) {}
  int fd() const { return fd_.get(); }
  // Whether `info` (a look at a path) shows this folder.
  bool shows(const struct stat& info) const { return info.st_dev == dev_ && info.st_ino == ino_; }

 private:
  Fd fd_;
  dev_t dev_;
  ino_t ino_;
};

// The handle of the folder at `path`, which `seen` (its lstat, just made)
// shows; nothing when the path names no folder or no longer that one.
std::shared_ptr<const FolderHandle> folderHandle(std::string_view path, const struct stat& seen);

}  // namespace orvel::posix
