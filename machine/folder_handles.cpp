#include "machine/folder_handles.h"

#include <fcntl.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace orvel::posix {
namespace {

// The few folders a job works in at once (an installation's source and
// target); each holds a descriptor, so the least used goes first.
class FolderHandles {
 public:
  static FolderHandles& instance() {
    static FolderHandles handles;
    return handles;
  }

  std::shared_ptr<const FolderHandle> of(const char* path, const struct stat& seen) {
    if (!S_ISDIR(seen.st_mode)) return nullptr;
    std::lock_guard<std::mutex> guard(mutex_);
    auto kept = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.path == path; });
    if (kept != kept_.end() && kept->handle->shows(seen)) {
      std::rotate(kept_.begin(), kept, kept + 1);
      return kept_.front().handle;
    }
    if (kept != kept_.end()) kept_.erase(kept);
    std::shared_ptr<const FolderHandle> opened = open(path, seen);
    if (!opened) return nullptr;
    if (kept_.size() >= kMostFolders) kept_.pop_back();
    kept_.insert(kept_.begin(), {path, opened});
    return opened;
  }

 private:
  static constexpr size_t kMostFolders = 8;
  struct Kept {
    std::string path;
    std::shared_ptr<const FolderHandle> handle;
  };

  static std::shared_ptr<const FolderHandle> open(const char* path, const struct stat& seen) {
    Fd fd(::open(path, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0) return nullptr;
    auto handle = std::make_shared<const FolderHandle>(std::move(fd), info.st_dev, info.st_ino);
    // Moved or replaced between the look and the open: not the folder seen.
    if (!handle->shows(seen)) return nullptr;
    return handle;
  }

  std::mutex mutex_;
  std::vector<Kept> kept_;  // the last used first
};

}  // namespace

std::shared_ptr<const FolderHandle> folderHandle(const char* path, const struct stat& seen) {
  return FolderHandles::instance().of(path, seen);
}

}  // namespace orvel::posix
