// What tells that a file or folder is still the one that was read: its
// identity, size and change times. The caches of the emulated machine keep
// what they read while the stamp stays the same.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <optional>
#include <string>

namespace orvel::posix {

struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;  // -1: no file
  timespec mtime{};
  timespec ctime{};

  static FileStamp of(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  }
  static std::optional<FileStamp> of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return of(info);
  }

  bool operator==(const FileStamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && same(mtime, o.mtime) && same(ctime, o.ctime);
  }

  // Whether the file was last changed long enough ago that another change
  // would show in its times: a file system's clock may be coarser than the
  // time between two writes, so a stamp taken right after a change may not
  // tell it from the next one of the same size.
  bool settled() const {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    auto age = [&](const timespec& t) {
      return (now.tv_sec - t.tv_sec) * 1'000'000'000LL + (now.tv_nsec - t.tv_nsec);
    };
    constexpr long long kMoment = 50'000'000;  // coarser than any file system's clock
    return age(mtime) > kMoment && age(ctime) > kMoment;
  }

 private:
  static bool same(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }
};

}  // namespace orvel::posix
