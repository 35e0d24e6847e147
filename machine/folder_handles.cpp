#include "machine/folder_handles.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orvel::posix {
namespace {

// The few folders a job works in at once (an installation's source and
// target); each holds a descriptor, so the least recently used goes first.
class FolderHandles {
 public:
  static FolderHandles& instance() {
    static FolderHandles handles;
    return handles;
  }

  std::shared_ptr<const FolderHandle> of(std::string_view path, const struct stat& seen) {
    if (!S_ISDIR(seen.st_mode)) return nullptr;
    std::lock_guard<std::mutex> guard(mutex_);
    ++uses_;
    // Kept in place and stamped with the use: a job alternates between its
    // folders, and moving them round at every call costs more than the search.
    auto kept = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.path == path; });
    if (kept != kept_.end() && kept->handle->shows(seen)) {
      kept->lastUse = uses_;
      return kept->handle;
    }
    if (kept != kept_.end()) kept_.erase(kept);
    std::string text(path);
    std::shared_ptr<const FolderHandle> opened = open(text, seen);
    if (!opened) return nullptr;
    if (kept_.size() >= kMostFolders)
      kept_.erase(std::min_element(kept_.begin(), kept_.end(),
                                   [](const Kept& a, const Kept& b) { return a.lastUse < b.lastUse; }));
    kept_.push_back({std::move(text), opened, uses_});
    return opened;
  }

 private:
  static constexpr size_t kMostFolders = 8;
  struct Kept {
    std::string path;
    std::shared_ptr<const FolderHandle> handle;
    uint64_t lastUse;
  };

  static std::shared_ptr<const FolderHandle> open(const std::string& path, const struct stat& seen) {
    Fd fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0) return nullptr;
    auto handle = std::make_shared<const FolderHandle>(std::move(fd), info.st_dev, info.st_ino);
    // Moved or replaced between the look and the open: not the folder seen.
    if (!handle->shows(seen)) return nullptr;
    return handle;
  }

  std::mutex mutex_;
  std::vector<Kept> kept_;
  uint64_t uses_ = 0;  // the calls so far, which stamp each folder's last use
};

}  // namespace

std::shared_ptr<const FolderHandle> folderHandle(std::string_view path, const struct stat& seen) {
  return FolderHandles::instance().of(path, seen);
}

}  // namespace orvel::posix
