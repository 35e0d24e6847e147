#include "machine/paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <vector>

#include "machine/handles.h"

namespace orvel::posix {
namespace {

// Error codes of the file system beyond those the core names.
constexpr uint32_t kNotSameDevice = 17;
constexpr uint32_t kGenFailure = 31;
constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kFilenameTooLong = 206;

// The part of an absolute Windows path that names its volume: "C:" or
// "\\server\share".
Str volumeOf(const Str& path) {
  if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == u':') return path.substr(0, 2);
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    size_t server = path.find_first_of(u"\\/", 2);
    if (server == Str::npos) return path;
    size_t share = path.find_first_of(u"\\/", server + 1);
    return share == Str::npos ? path : path.substr(0, share);
  }
  return {};
}

Str joinWindows(const Str& folder, const Str& name) {
  if (folder.empty() || isSeparator(folder.back())) return folder + name;
  return folder + u'\\' + name;
}

}  // namespace

Str currentWindowsFolder(const Machine& machine) {
  std::vector<char> buffer(PATH_MAX);
  if (!getcwd(buffer.data(), buffer.size())) return u"C:\\";
  return machine.windowsPath(buffer.data());
}

Str fullWindowsPath(const Machine& machine, const Str& path) {
  if (path.empty() || isAbsoluteWindowsPath(path)) return path;
  Str current = currentWindowsFolder(machine);
  if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == u':') {
    // "C:name": relative to the current folder of that drive, which is the
    // process's folder only when it lies on the same drive.
    Str drive = path.substr(0, 2);
    Str folder = equalNoCase(volumeOf(current), drive) ? current : drive + u"\\";
    return joinWindows(folder, path.substr(2));
  }
  if (isSeparator(path[0])) return volumeOf(current) + path;
  return joinWindows(current, path);
}

std::optional<std::string> resolveHostPath(const Machine& machine, const Str& path) {
  return machine.hostPath(fullWindowsPath(machine, path));
}

Holder holderOf(const std::string& hostPath) {
  const Fd fd(open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return Holder::Nobody;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return Holder::Nobody;
  if (flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return Holder::ExclusiveOwner;
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Holder::RunningProgram;
  return Holder::Nobody;
}

bool heldExclusively(int fd) { return flock(fd, LOCK_SH | LOCK_NB) != 0; }

namespace {

std::string withoutTrailingSlash(std::string host) {
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

bool isBelow(const std::string& host, const std::string& folder) {
  std::string place = withoutTrailingSlash(host);
  std::string top = withoutTrailingSlash(folder);
  if (place == top) return true;
  return place.size() > top.size() && place.compare(0, top.size(), top) == 0 &&
         (top == "/" || place[top.size()] == '/');
}

}  // namespace

bool writeRefused(const Machine& machine, const std::string& hostPath) {
  if (machine.settings().administrator) return false;
  auto folder = machine.settings().folders.find("ProgramFiles");
  bool configured = folder != machine.settings().folders.end() && !folder->second.empty();
  std::optional<std::string> programs = machine.hostPath(configured ? folder->second : Str(u"C:\\Program Files"));
  return programs && isBelow(hostPath, *programs);
}

uint32_t windowsError(int errnoValue, const std::string& hostPath) {
  switch (errnoValue) {
    case ENOENT: {
      struct stat info {};
      bool folderThere = stat(hostParent(hostPath).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
      return folderThere ? err::kFileNotFound : err::kPathNotFound;
    }
    case ENOTDIR:
    case ELOOP:
      return err::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return err::kAccessDenied;
    case EEXIST:
      return err::kAlreadyExists;
    case ENOTEMPTY:
      return err::kDirNotEmpty;
    case EBUSY:
    case ETXTBSY:
      return err::kSharingViolation;
    case ENAMETOOLONG:
      return kFilenameTooLong;
    case EXDEV:
      return kNotSameDevice;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    case EINVAL:
      return err::kInvalidParameter;
    default:
      return kGenFailure;
  }
}

}  // namespace orvel::posix
