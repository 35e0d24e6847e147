// Files and folders of the emulated machine, with the refusals Windows makes:
//
// - Attributes: hidden, system and archive live in the extended attribute
//   user.orvel.attributes (a decimal FILE_ATTRIBUTE_* value); a file without
//   it reports archive, as a file new on Windows does. A file's read-only flag
//   is its missing write bits, so that other tools see it too; a folder's is
//   kept in the extended attribute only.
// - A read-only file cannot be deleted or replaced, even by root.
// - A file under flock(LOCK_EX) (ExclusiveLock, held by any process) is open
//   without sharing: it cannot be read, copied, deleted or replaced. A file
//   under flock(LOCK_SH) is a running program (lockOwnExecutable): it can be
//   read and renamed, but not deleted or overwritten.
// - Without administrator rights the programs folder and everything in it
//   cannot be written.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "machine/call_count.h"
#include "machine/fault_injection.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/paths.h"
#include "machine/temp_files.h"

namespace orvel::files {
namespace {

using posix::Holder;
using posix::holderOf;
using posix::Machine;
using posix::writeRefused;

constexpr const char* kAttributeName = "user.orvel.attributes";
constexpr uint32_t kStoredAttributes = kReadOnly | kHidden | kSystem | kArchive;
constexpr uint32_t kNotADirectory = 267;  // ERROR_DIRECTORY

constexpr char16_t kDosStar = u'<';
constexpr char16_t kDosQm = u'>';
constexpr char16_t kDosDot = u'"';

constexpr int64_t kFiletimePerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

using posix::Fd;

Result failure(uint32_t code) { return Result::failure(code); }
// The failure of the host call `call` (a static name) on `host`, from errno.
Result errnoFailure(const std::string& host, const char* call) {
  const int code = errno;
  return Result::failure(posix::windowsError(code, host), call, code);
}

std::string withoutTrailingSlash(std::string host) {
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

// --- attributes -------------------------------------------------------------

// The attributes kept in the extended attribute, read by `get` into `text`.
template <typename Get>
std::optional<uint32_t> storedAttributesBy(Get get) {
  char text[32] = {};
  ssize_t size = get(text, sizeof text - 1);
  if (size <= 0) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) & kStoredAttributes;
}

std::optional<uint32_t> storedAttributes(const std::string& host) {
  return storedAttributesBy([&](char* text, size_t size) { return getxattr(host.c_str(), kAttributeName, text, size); });
}

std::optional<uint32_t> storedAttributes(int fd) {
  return storedAttributesBy([&](char* text, size_t size) { return fgetxattr(fd, kAttributeName, text, size); });
}

// Those of `name` in the folder open as `folderFd`, whose path and
// separator are `folderPrefix`: asked beside the folder where the kernel
// can (getxattrat, Linux 6.13), so that a listing does not walk the
// folder's path once per name; else by the path.
std::optional<uint32_t> storedAttributes(int folderFd, const char* name, const std::string& folderPrefix) {
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__) || defined(__i386__))
  constexpr long kGetxattrat = 464;  // the same number on these architectures
  struct XattrArgs {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
  };
  static std::atomic<bool> unavailable{false};
  if (!unavailable.load(std::memory_order_relaxed)) {
    char text[32] = {};
    XattrArgs args{reinterpret_cast<uintptr_t>(text), sizeof text - 1, 0};
    const long size = syscall(kGetxattrat, folderFd, name, 0u, kAttributeName, &args, sizeof args);
    if (size > 0) return static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) & kStoredAttributes;
    // A kernel without the call, or a sandbox that refuses calls it does not know.
    if (size == 0 || (errno != ENOSYS && errno != EPERM)) return std::nullopt;
    if (errno == ENOSYS) unavailable.store(true, std::memory_order_relaxed);
  }
#endif
  return storedAttributes(folderPrefix + name);
}

// A file system without extended attributes keeps only the read-only flag.
void storeAttributes(const std::string& host, uint32_t attributes) {
  std::string text = std::to_string(attributes & kStoredAttributes);
  (void)setxattr(host.c_str(), kAttributeName, text.data(), text.size(), 0);
}

void storeAttributes(int fd, uint32_t attributes) {
  std::string text = std::to_string(attributes & kStoredAttributes);
  (void)fsetxattr(fd, kAttributeName, text.data(), text.size(), 0);
}

bool hasWriteBits(const struct stat& info) { return (info.st_mode & 0222) != 0; }

bool isReadOnly(const std::string& host, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return storedAttributes(host).value_or(0) & kReadOnly;
  return !hasWriteBits(info);
}

// The attributes of a file that `info` shows and whose extended attribute
// holds `stored`.
uint32_t attributesOf(std::optional<uint32_t> stored, const struct stat& info) {
  bool folder = S_ISDIR(info.st_mode);
  uint32_t attributes = stored.value_or(folder ? 0 : kArchive);
  if (folder) return attributes | kDirectory;
  attributes = (attributes & ~kReadOnly) | (hasWriteBits(info) ? 0 : kReadOnly);
  return attributes ? attributes : kNormal;
}

uint32_t attributesOf(const std::string& host, const struct stat& info) {
  return attributesOf(storedAttributes(host), info);
}

// --- temporary files ------------------------------------------------------------

// A place as the *at calls take it: its name beside its folder's handle
// when the look-up opened one, else its whole host path beside AT_FDCWD.
// It refers to the texts and the handle it is made of, which outlive it.
class AtPlace {
 public:
  explicit AtPlace(const std::string& host) : host_(&host) { trimSeparator(); }
  explicit AtPlace(std::string&&) = delete;
  AtPlace(const posix::FolderHandle& folder, const std::string& name, const std::string& host)
      : folder_(&folder), name_(&name), host_(&host) {
    trimSeparator();
  }
  int folderFd() const { return folder_ ? folder_->fd() : AT_FDCWD; }
  const char* name() const { return folder_ ? name_->c_str() : host().c_str(); }
  // Without a trailing separator.
  const std::string& host() const { return trimmed_.empty() ? *host_ : trimmed_; }
  // The host path of its folder ("/a/b" -> "/a", "/a" -> "/", "a" -> ".").
  std::string_view folder() const {
    const std::string_view path = host();
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
  }

 private:
  void trimSeparator() {
    if (host_->size() > 1 && host_->back() == '/') trimmed_ = withoutTrailingSlash(*host_);
  }
  const posix::FolderHandle* folder_ = nullptr;
  const std::string* name_ = nullptr;
  const std::string* host_;
  std::string trimmed_;  // the host path without its separator, when it ends in one
};

// What a new version of a file may take the place of.
enum class Replaces {
  TheFileThere,  // the file the look-up found
  Nothing,       // no file: one that comes in the meantime is replaced
  NothingEver,   // no file, and one that comes in the meantime is kept (errno EEXIST)
};

// The new version of a file, made beside it and put in its place in one
// step when it is whole. Where no file is there yet it has no name until
// then, so that nothing is left of it if the process ends before; else it
// is a temporary file, removed unless committed.
class SiblingTemp {
 public:
  // `mode`: its permission bits, as createTemp takes them.
  static std::optional<SiblingTemp> create(const AtPlace& target, Replaces replaces, mode_t mode) {
    const bool targetMissing = replaces != Replaces::TheFileThere;
    const std::string_view folder = target.folder();
    posix::removeStaleTemps(folder);
    if (targetMissing)
      if (Fd unnamed = posix::createUnnamed(target.folderFd(), folder, mode); unnamed.valid())
        return SiblingTemp(target, replaces, std::string(), std::move(unnamed));
    std::optional<posix::CreatedTemp> temp = posix::createTemp(target.folderFd(), std::string(folder), mode);
    if (!temp) return std::nullopt;
    return SiblingTemp(target, replaces, std::move(temp->name), std::move(temp->fd));
  }
  SiblingTemp(SiblingTemp&& other) noexcept
      : target_(other.target_), replaces_(other.replaces_), name_(std::exchange(other.name_, std::string())),
        fd_(std::move(other.fd_)) {}
  SiblingTemp& operator=(SiblingTemp&&) = delete;
  ~SiblingTemp() {
    if (!name_.empty()) unlinkat(target_.folderFd(), name_.c_str(), 0);
  }
  int fd() const { return fd_.get(); }
  // Puts it in the target's place; errno tells why when it fails.
  bool commit() {
    if (name_.empty() && !nameUnnamed()) return false;
    fd_.reset();
    if (!name_.empty() && renameat(target_.folderFd(), name_.c_str(), target_.folderFd(), target_.name()) != 0)
      return false;
    name_.clear();
    posix::noteNameAdded(target_.host(), target_.folderFd() == AT_FDCWD ? -1 : target_.folderFd());
    return true;
  }

 private:
  SiblingTemp(const AtPlace& target, Replaces replaces, std::string name, Fd fd)
      : target_(target), replaces_(replaces), name_(std::move(name)), fd_(std::move(fd)) {}

  // The target's name for an unnamed file, or a temporary name to be
  // renamed over a target that has come since.
  bool nameUnnamed() {
    if (posix::nameUnnamed(fd_.get(), target_.folderFd(), target_.name())) return true;
    if (errno != EEXIST || replaces_ == Replaces::NothingEver) return false;
    std::optional<std::string> temp =
        posix::nameUnnamedAsTemp(fd_.get(), target_.folderFd(), std::string(target_.folder()));
    if (!temp) return false;
    name_ = std::move(*temp);
    return true;
  }

  const AtPlace& target_;  // the caller's, which outlives it
  Replaces replaces_;
  std::string name_;  // beside target_'s folder; empty: the file has none
  Fd fd_;
};

bool writeAll(int fd, const char* data, size_t size) { return posix::faults::writeAll(fd, data, size); }

// The first bytes of a copy that a torn write leaves, then what the tear does.
bool copyTornPrefix(int from, int to, size_t prefix) {
  std::string bytes(prefix, '\0');
  const ssize_t got = pread(from, bytes.data(), prefix, 0);
  if (got < 0) return false;
  return posix::faults::writeTorn(to, bytes.data(), static_cast<size_t>(got));
}

// The bytes of a file into another, as many as its size when it was looked
// at (`size`), or fewer when it has become shorter. The kernel copies them
// itself where it can (on one file system, or between any two on newer
// kernels); otherwise, and for a file whose size does not tell its bytes
// (those of /proc say they are empty), they pass through here to the end.
bool copyContent(int from, int to, off_t size) {
  if (std::optional<size_t> torn = posix::faults::tornPrefix(static_cast<size_t>(size)))
    return copyTornPrefix(from, to, *torn);
  off_t left = size;
  bool first = true;
  while (left > 0) {
    ssize_t copied = copy_file_range(from, nullptr, to, nullptr, static_cast<size_t>(left), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (first && (copied == 0 || (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                                  errno == EOPNOTSUPP))))
      break;
    if (copied < 0) return false;
    if (copied == 0) return true;
    left -= copied;
    first = false;
  }
  if (!first) return true;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (!writeAll(to, buffer, static_cast<size_t>(got))) return false;
  }
}

// --- copying and renaming --------------------------------------------------------

// CopyFileW's work once every refusal has been made: content, permission bits,
// attributes and times, put in place in one step.
Result copyInto(int input, const struct stat& source, const AtPlace& to, Replaces replaces) {
  // Made with the source's permission bits, unless the umask or a set-id
  // bit keeps them from it: then they are given after.
  const mode_t mode = source.st_mode & 07777;
  const bool madeWithMode = posix::madeWith(mode);
  std::optional<SiblingTemp> temp = SiblingTemp::create(to, replaces, madeWithMode ? mode : 0600);
  if (!temp) return errnoFailure(to.host(), "mkstemp");
  if (!copyContent(input, temp->fd(), source.st_size)) return errnoFailure(to.host(), "read/write");
  if (!madeWithMode && fchmod(temp->fd(), mode) != 0) return errnoFailure(to.host(), "fchmod");
  if (auto attributes = storedAttributes(input)) storeAttributes(temp->fd(), *attributes);
  const timespec times[2] = {source.st_atim, source.st_mtim};
  if (futimens(temp->fd(), times) != 0) return errnoFailure(to.host(), "futimens");
  if (!temp->commit()) {
    // A file that came at the target of a copy that must not replace one.
    if (errno == EEXIST && replaces == Replaces::NothingEver) return failure(err::kFileExists);
    return errnoFailure(to.host(), "rename");
  }
  return Result::success();
}

Result copyInto(const std::string& from, const struct stat& source, const std::string& to) {
  Fd input(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!input.valid()) return errnoFailure(from, "open");
  const AtPlace target(to);
  return copyInto(input.get(), source, target, Replaces::TheFileThere);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The name a path asks for in its last component, with its own spelling.
std::string spelledName(const Str& windowsPath) {
  Str path = windowsPath;
  while (!path.empty() && posix::isSeparator(path.back())) path.pop_back();
  size_t slash = path.find_last_of(u"\\/");
  return toUtf8(slash == Str::npos ? path : path.substr(slash + 1));
}

// The upper-case name as big-endian UTF-16 bytes, after `keys`: their byte
// order is the order of the upper-case names, and bytes compare in one
// memcmp where UTF-16 units compare one by one.
void appendSortKey(std::string& keys, StrView name) {
  const size_t at = keys.size();
  keys.resize(at + 2 * name.size());
  char* key = keys.data() + at;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i];
    const char16_t c = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20)
                       : unit < 0x80                ? unit
                                                    : formats::upcase(unit);
    key[2 * i] = static_cast<char>(c >> 8);
    key[2 * i + 1] = static_cast<char>(c & 0xFF);
  }
}

// --- wildcards ------------------------------------------------------------------

// FindFirstFileW hands the file system the DOS forms of the wildcards: "*"
// before a dot stops at the last dot of the name, "?" matches nothing at a
// dot or at the end, and a dot before a wildcard or at the end also matches
// the end of a name without an extension. So "*.*" matches every name.
Str dosExpression(const Str& mask) {
  Str expression = formats::upcased(mask);
  for (size_t i = 0; i < mask.size(); ++i) {
    char16_t next = i + 1 < mask.size() ? mask[i + 1] : u'\0';
    if (mask[i] == u'?') expression[i] = kDosQm;
    else if (mask[i] == u'*' && next == u'.') expression[i] = kDosStar;
    else if (mask[i] == u'.' && (next == u'?' || next == u'*' || next == u'\0')) expression[i] = kDosDot;
  }
  return expression;
}

class WildcardMatch {
 public:
  WildcardMatch(const Str& expression, const Str& name)
      : e_(expression), n_(formats::upcased(name)), lastDot_(n_.find_last_of(u'.')),
        memo_((e_.size() + 1) * (n_.size() + 1), -1) {}
  bool matches() { return at(0, 0); }

 private:
  bool at(size_t ei, size_t ni) {
    int8_t& known = memo_[ei * (n_.size() + 1) + ni];
    if (known < 0) known = compute(ei, ni) ? 1 : 0;
    return known == 1;
  }
  bool compute(size_t ei, size_t ni) {
    if (ei == e_.size()) return ni == n_.size();
    bool more = ni < n_.size();
    switch (e_[ei]) {
      case u'*':
        for (size_t k = ni; k <= n_.size(); ++k)
          if (at(ei + 1, k)) return true;
        return false;
      case kDosStar:
        for (size_t k = ni; k <= n_.size(); ++k) {
          if (at(ei + 1, k)) return true;
          if (k == lastDot_) return false;  // never past the last dot
        }
        return false;
      case kDosQm:
        if (more && n_[ni] != u'.') return at(ei + 1, ni + 1);
        return at(ei + 1, ni);
      case kDosDot:
        if (more && n_[ni] == u'.') return at(ei + 1, ni + 1);
        return !more && at(ei + 1, ni);
      default:
        return more && n_[ni] == e_[ei] && at(ei + 1, ni + 1);
    }
  }

  Str e_;
  Str n_;
  size_t lastDot_;
  std::vector<int8_t> memo_;
};

// --- times --------------------------------------------------------------------

uint64_t toFiletime(const timespec& time) {
  int64_t seconds = static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970;
  int64_t ticks = seconds * kFiletimePerSecond + time.tv_nsec / 100;
  return static_cast<uint64_t>(std::max<int64_t>(ticks, 0));
}

timespec fromFiletime(uint64_t filetime) {
  int64_t ticks = static_cast<int64_t>(filetime);
  timespec time{};
  time.tv_sec = static_cast<time_t>(ticks / kFiletimePerSecond - kSecondsFrom1601To1970);
  time.tv_nsec = static_cast<long>(ticks % kFiletimePerSecond) * 100;
  return time;
}

// Where a Windows path lies on this machine. No place for a path that names
// no volume (kPathNotFound) or holds a character Windows forbids in names
// (kInvalidName).
struct Place {
  // Nowhere, for that reason.
  Place(Machine m, uint32_t why) : machine(std::move(m)), error(why) {}
  // Where the look-up found it.
  Place(Machine m, posix::HostPlace&& found)
      : machine(std::move(m)), host(std::move(found.path)), seen(found.seen), seenInfo(found.info),
        showsDriveC(found.showsDriveC), folder(std::move(found.folder)), name(std::move(found.name)) {}

  Machine machine;
  std::optional<std::string> host;
  uint32_t error = err::kPathNotFound;
  posix::HostPlace::Seen seen = posix::HostPlace::Seen::Unknown;
  struct stat seenInfo {};
  bool showsDriveC = false;
  std::shared_ptr<const posix::FolderHandle> folder;
  std::string name;  // when `folder`: the last name of `host` in it

  // The place for the *at calls.
  AtPlace at() const { return folder ? AtPlace(*folder, name, *host) : AtPlace(*host); }

  // stat and lstat (of the path without its trailing separator) of the
  // place, from what its look-up saw where that tells: 0, or -1 with errno.
  int stat(struct stat& info) const {
    if (seen == posix::HostPlace::Seen::Missing) return missing();
    if (seen == posix::HostPlace::Seen::Found && !S_ISLNK(seenInfo.st_mode) && host->back() != '/') {
      info = seenInfo;
      return 0;
    }
    return ::stat(host->c_str(), &info);
  }
  int lstat(struct stat& info) const {
    if (seen == posix::HostPlace::Seen::Missing) return missing();
    if (seen == posix::HostPlace::Seen::Found) {
      info = seenInfo;
      return 0;
    }
    return ::lstat(withoutTrailingSlash(*host).c_str(), &info);
  }

 private:
  static int missing() {
    errno = ENOENT;
    return -1;
  }
};

// `machine` is the one of this call: a call with two paths looks it up once.
Place locate(const Machine& machine, const Str& path) {
  // Most paths are absolute already: those without a copy.
  std::optional<Str> made;
  if (!posix::isAbsoluteWindowsPath(path)) made = posix::fullWindowsPath(machine, path);
  const Str& full = made ? *made : path;
  if (posix::hasForbiddenCharacter(full)) return Place(machine, err::kInvalidName);
  std::optional<posix::HostPlace> found = machine.lookUp(full);
  if (!found) return Place(machine, err::kPathNotFound);
  return Place(machine, std::move(*found));
}

// Whether a path may name a place on drive C: (a relative one may, through
// the current folder): only a look-up of such a path can show drive C:.
bool mayLieOnDriveC(StrView path) {
  if (path.size() >= 2 && path[1] == u':') return (path[0] | 0x20) == u'c';
  return !(path.size() >= 2 && posix::isSeparator(path[0]) && posix::isSeparator(path[1]));
}

Place locate(const Str& path) {
  if (!mayLieOnDriveC(path)) return locate(Machine::current(), path);
  Place place = locate(Machine::currentBeforeLookUp(), path);
  if (place.showsDriveC) return place;
  return locate(Machine::current(), path);
}

// The places of a call with two paths, on one machine.
std::pair<Place, Place> locate(const Str& first, const Str& second) {
  if (!mayLieOnDriveC(first) && !mayLieOnDriveC(second)) {
    const Machine machine = Machine::current();
    return {locate(machine, first), locate(machine, second)};
  }
  Machine machine = Machine::currentBeforeLookUp();
  Place a = locate(machine, first);
  Place b = locate(machine, second);
  if (a.showsDriveC || b.showsDriveC) return {std::move(a), std::move(b)};
  machine = Machine::current();
  return {locate(machine, first), locate(machine, second)};
}

}  // namespace

bool fileExists(const Str& path) {
  posix::calls::note("files.fileExists");
  Place place = locate(path);
  struct stat info {};
  return place.host && place.stat(info) == 0 && !S_ISDIR(info.st_mode);
}

bool directoryExists(const Str& path) {
  posix::calls::note("files.directoryExists");
  Place place = locate(path);
  struct stat info {};
  return place.host && place.stat(info) == 0 && S_ISDIR(info.st_mode);
}

uint32_t getAttributes(const Str& path) {
  posix::calls::note("files.getAttributes");
  Place place = locate(path);
  struct stat info {};
  if (!place.host || place.stat(info) != 0) return kInvalidAttributes;
  return attributesOf(*place.host, info);
}

Result setAttributes(const Str& path, uint32_t attributes) {
  posix::calls::note("files.setAttributes");
  if (uint32_t injected = posix::faults::check("files.setAttributes")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  struct stat info {};
  if (place.stat(info) != 0) return errnoFailure(host, "stat");
  if (writeRefused(place.machine, host)) return failure(err::kAccessDenied);
  uint32_t kept = attributes & kStoredAttributes;
  if (!S_ISDIR(info.st_mode)) {
    mode_t mode = info.st_mode & 07777;
    if (kept & kReadOnly) mode &= ~0222;
    else if (!hasWriteBits(info)) mode |= S_IWUSR;
    if (mode != (info.st_mode & 07777) && chmod(host.c_str(), mode) != 0) return errnoFailure(host, "chmod");
  }
  storeAttributes(host, kept);
  return Result::success();
}

Result deleteFile(const Str& path) {
  posix::calls::note("files.deleteFile");
  if (uint32_t injected = posix::faults::check("files.deleteFile")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  struct stat info {};
  if (place.stat(info) != 0) return errnoFailure(host, "stat");
  if (S_ISDIR(info.st_mode) || writeRefused(place.machine, host) || isReadOnly(host, info))
    return failure(err::kAccessDenied);
  switch (holderOf(host)) {
    case Holder::ExclusiveOwner: return failure(err::kSharingViolation);
    case Holder::RunningProgram: return failure(err::kAccessDenied);
    case Holder::Nobody: break;
  }
  if (unlink(withoutTrailingSlash(host).c_str()) != 0) return errnoFailure(host, "unlink");
  posix::noteNameRemoved(host);
  return Result::success();
}

Result copyFile(const Str& from, const Str& to, IfExists ifExists) {
  posix::calls::note("files.copyFile");
  const bool failIfExists = ifExists == IfExists::Fail;
  if (uint32_t injected = posix::faults::check("files.copyFile")) return failure(injected);
  auto [sourcePlace, targetPlace] = locate(from, to);
  if (!sourcePlace.host) return failure(sourcePlace.error);
  if (!targetPlace.host) return failure(targetPlace.error);
  const Machine& machine = targetPlace.machine;
  const std::optional<std::string>& source = sourcePlace.host;
  const std::optional<std::string>& target = targetPlace.host;
  struct stat sourceInfo {};
  if (sourcePlace.stat(sourceInfo) != 0) return errnoFailure(*source, "stat");
  if (S_ISDIR(sourceInfo.st_mode)) return failure(err::kAccessDenied);
  // A plain file is opened once, for the sharing check and for its content;
  // only such a file can be held (see holderOf).
  Fd input;
  int openError = 0;
  if (S_ISREG(sourceInfo.st_mode)) {
    const AtPlace at = sourcePlace.at();
    input = Fd(openat(at.folderFd(), at.name(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!input.valid()) openError = errno;
    else if (posix::heldExclusively(input.get())) return failure(err::kSharingViolation);
  }
  struct stat targetInfo {};
  const bool targetThere = targetPlace.stat(targetInfo) == 0;
  if (targetThere) {
    if (failIfExists) return failure(err::kFileExists);
    if (S_ISDIR(targetInfo.st_mode) || isReadOnly(*target, targetInfo)) return failure(err::kAccessDenied);
    if (sameFile(sourceInfo, targetInfo) || holderOf(*target) != Holder::Nobody)
      return failure(err::kSharingViolation);
  } else if (errno != ENOENT) {
    return errnoFailure(*target, "stat");
  }
  if (writeRefused(machine, *target)) return failure(err::kAccessDenied);
  if (openError != 0) return Result::failure(posix::windowsError(openError, *source), "open", openError);
  if (!input.valid()) return copyInto(*source, sourceInfo, *target);
  const AtPlace at = targetPlace.at();
  const Replaces replaces = targetThere    ? Replaces::TheFileThere
                            : failIfExists ? Replaces::NothingEver
                                           : Replaces::Nothing;
  return copyInto(input.get(), sourceInfo, at, replaces);
}

Result moveFile(const Str& from, const Str& to) {
  posix::calls::note("files.moveFile");
  if (uint32_t injected = posix::faults::check("files.moveFile")) return failure(injected);
  auto [sourcePlace, targetPlace] = locate(from, to);
  if (!sourcePlace.host) return failure(sourcePlace.error);
  if (!targetPlace.host) return failure(targetPlace.error);
  const Machine& machine = targetPlace.machine;
  const std::optional<std::string>& source = sourcePlace.host;
  const std::optional<std::string>& target = targetPlace.host;
  struct stat sourceInfo {};
  if (sourcePlace.lstat(sourceInfo) != 0) return errnoFailure(*source, "lstat");
  std::string destination = withoutTrailingSlash(*target);
  struct stat targetInfo {};
  if (targetPlace.lstat(targetInfo) == 0) {
    // The same file under another spelling: a change of letter case only.
    if (!sameFile(sourceInfo, targetInfo)) return failure(err::kAlreadyExists);
    destination = posix::hostParent(destination) + "/" + spelledName(to);
  }
  if (writeRefused(machine, *source) || writeRefused(machine, destination)) return failure(err::kAccessDenied);
  if (S_ISREG(sourceInfo.st_mode) && holderOf(*source) == Holder::ExclusiveOwner)
    return failure(err::kSharingViolation);
  if (rename(withoutTrailingSlash(*source).c_str(), destination.c_str()) == 0) {
    posix::noteNameRemoved(*source);
    posix::noteNameAdded(destination);
    return Result::success();
  }
  if (errno != EXDEV || !S_ISREG(sourceInfo.st_mode)) return errnoFailure(destination, "rename");
  // Another file system: MoveFileW copies and deletes.
  if (Result copied = copyInto(*source, sourceInfo, destination); !copied) return copied;
  if (unlink(source->c_str()) != 0) return errnoFailure(*source, "unlink");
  posix::noteNameRemoved(*source);
  return Result::success();
}

Result replaceFile(const Str& from, const Str& to) {
  posix::calls::note("files.replaceFile");
  if (uint32_t injected = posix::faults::check("files.replaceFile")) return failure(injected);
  if (posix::faults::mutated(posix::faults::Mutation::ReplaceDeletesFirst)) {
    if (fileExists(to))
      if (Result deleted = deleteFile(to); !deleted) return deleted;
    return moveFile(from, to);
  }
  auto [sourcePlace, targetPlace] = locate(from, to);
  if (!sourcePlace.host) return failure(sourcePlace.error);
  if (!targetPlace.host) return failure(targetPlace.error);
  const std::string& source = *sourcePlace.host;
  const std::string destination = withoutTrailingSlash(*targetPlace.host);
  struct stat sourceInfo {};
  if (sourcePlace.lstat(sourceInfo) != 0) return errnoFailure(source, "lstat");
  struct stat targetInfo {};
  const int looked = targetPlace.lstat(targetInfo);
  if (looked != 0 && errno != ENOENT) return errnoFailure(destination, "lstat");
  if (looked == 0 && !sameFile(sourceInfo, targetInfo)) {
    // A read-only or open file, a folder or a running program is not replaced.
    if (S_ISDIR(targetInfo.st_mode) || S_ISDIR(sourceInfo.st_mode) || isReadOnly(destination, targetInfo) ||
        holderOf(destination) != Holder::Nobody)
      return failure(err::kAccessDenied);
  }
  if (writeRefused(targetPlace.machine, source) || writeRefused(targetPlace.machine, destination))
    return failure(err::kAccessDenied);
  if (S_ISREG(sourceInfo.st_mode) && holderOf(source) == Holder::ExclusiveOwner)
    return failure(err::kSharingViolation);
  if (rename(withoutTrailingSlash(source).c_str(), destination.c_str()) == 0) {
    posix::noteNameRemoved(source);
    posix::noteNameAdded(destination);
    return Result::success();
  }
  if (errno != EXDEV || !S_ISREG(sourceInfo.st_mode)) return errnoFailure(destination, "rename");
  // Another file system: the copy takes the target's place in one step, as
  // MoveFileExW's copy does, and the source goes after.
  if (Result copied = copyInto(source, sourceInfo, destination); !copied) return copied;
  if (unlink(source.c_str()) != 0) return errnoFailure(source, "unlink");
  posix::noteNameRemoved(source);
  return Result::success();
}

Result createDirectory(const Str& path) {
  posix::calls::note("files.createDirectory");
  if (uint32_t injected = posix::faults::check("files.createDirectory")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  struct stat info {};
  if (place.lstat(info) == 0) return failure(err::kAlreadyExists);
  if (writeRefused(place.machine, host)) return failure(err::kAccessDenied);
  if (mkdir(host.c_str(), 0777) != 0) return errnoFailure(host, "mkdir");
  posix::noteNameAdded(host);
  return Result::success();
}

Result forceDirectories(const Str& path) {
  posix::calls::note("files.forceDirectories");
  if (uint32_t injected = posix::faults::check("files.forceDirectories")) return failure(injected);
  Str folder = posix::fullWindowsPath(Machine::current(), path);
  while (!folder.empty() && posix::isSeparator(folder.back())) folder.pop_back();
  if (folder.empty()) return failure(err::kPathNotFound);
  if (directoryExists(folder)) return Result::success();
  // The volume ("C:", "\\server\share") is not made; each folder below it is.
  size_t start = 3;
  if (posix::isSeparator(folder[0])) {
    size_t server = folder.find_first_of(u"\\/", 2);
    start = server == Str::npos ? folder.size() : folder.find_first_of(u"\\/", server + 1);
    if (start == Str::npos) start = folder.size();
    else ++start;
  }
  for (size_t end = folder.find_first_of(u"\\/", start);; end = folder.find_first_of(u"\\/", end + 1)) {
    Str part = folder.substr(0, end);
    if (!directoryExists(part)) {
      Result made = createDirectory(part);
      // Another process may have made it in the meantime.
      if (!made && !directoryExists(part)) return made;
    }
    if (end == Str::npos) break;
  }
  return Result::success();
}

Result removeDirectory(const Str& path) {
  posix::calls::note("files.removeDirectory");
  if (uint32_t injected = posix::faults::check("files.removeDirectory")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  struct stat info {};
  if (place.stat(info) != 0) return errnoFailure(host, "stat");
  if (!S_ISDIR(info.st_mode)) return failure(kNotADirectory);
  if (writeRefused(place.machine, host) || isReadOnly(host, info)) return failure(err::kAccessDenied);
  if (rmdir(host.c_str()) != 0) {
    // What a writer killed half-way left in it does not keep the folder.
    if (errno != ENOTEMPTY) return errnoFailure(host, "rmdir");
    posix::removeStaleTemps(withoutTrailingSlash(host), posix::Sweep::Now);
    if (rmdir(host.c_str()) != 0) return errnoFailure(host, "rmdir");
  }
  posix::noteNameRemoved(host);
  return Result::success();
}

std::vector<FindEntry> findFiles(const Str& pattern) {
  posix::calls::note("files.findFiles");
  std::vector<FindEntry> entries;
  Machine machine = Machine::current();
  Str full = posix::fullWindowsPath(machine, pattern);
  size_t slash = full.find_last_of(u"\\/");
  if (slash == Str::npos || slash + 1 == full.size()) return entries;
  Str mask = full.substr(slash + 1);
  std::optional<std::string> folder = machine.hostPath(full.substr(0, slash + 1));
  if (!folder) return entries;
  posix::Dir dir(opendir(folder->c_str()));
  if (!dir.valid()) return entries;
  Str expression = dosExpression(mask);
  // "*" and "*.*" (whose DOS form matches the end of a name at its dot)
  // take every name: no name is matched against them.
  const bool everyName = expression == u"*" || expression == Str{kDosStar, kDosDot, u'*'};
  struct Keyed {
    size_t keyAt;  // in keys: see appendSortKey
    size_t keySize;
    FindEntry entry;
  };
  std::vector<Keyed> keyed;
  std::string keys;  // every entry's, in one text
  std::string base = withoutTrailingSlash(*folder);
  if (base != "/") base += "/";
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    Str windowsName = fromUtf8(name);
    if (!everyName && !WildcardMatch(expression, windowsName).matches()) continue;
    struct stat info {};
    if (fstatat(dirfd(dir.get()), entry->d_name, &info, 0) != 0 &&
        fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    const uint32_t attributes = attributesOf(storedAttributes(dirfd(dir.get()), entry->d_name, base), info);
    const size_t keyAt = keys.size();
    appendSortKey(keys, windowsName);
    const uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    keyed.push_back({keyAt, keys.size() - keyAt, {std::move(windowsName), attributes, size}});
  }
  dir.reset();
  // NTFS lists a folder in the order of the upper-case names. The entries
  // are put in that order once, rather than moved at every step of the sort.
  std::vector<Keyed*> order;
  order.reserve(keyed.size());
  for (Keyed& entry : keyed) order.push_back(&entry);
  const char* const key = keys.data();
  std::sort(order.begin(), order.end(), [key](const Keyed* a, const Keyed* b) {
    const int byBytes = std::memcmp(key + a->keyAt, key + b->keyAt, std::min(a->keySize, b->keySize));
    return byBytes != 0 ? byBytes < 0 : a->keySize < b->keySize;
  });
  entries.reserve(keyed.size());
  for (Keyed* entry : order) entries.push_back(std::move(entry->entry));
  return entries;
}

Outcome<uint64_t> lastWriteTime(const Str& path) {
  posix::calls::note("files.lastWriteTime");
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  struct stat info {};
  if (place.stat(info) != 0) return errnoFailure(*place.host, "stat");
  return toFiletime(info.st_mtim);
}

Result setLastWriteTime(const Str& path, uint64_t filetime) {
  posix::calls::note("files.setLastWriteTime");
  if (uint32_t injected = posix::faults::check("files.setLastWriteTime")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  struct stat info {};
  if (place.stat(info) != 0) return errnoFailure(host, "stat");
  if (writeRefused(place.machine, host)) return failure(err::kAccessDenied);
  const timespec times[2] = {{0, UTIME_OMIT}, fromFiletime(filetime)};
  if (utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return errnoFailure(host, "utimensat");
  return Result::success();
}

FileContents readFileContents(const Str& path) {
  posix::calls::note("files.readFileContents");
  if (uint32_t injected = posix::faults::check("files.readFile")) return {injected == err::kFileNotFound || injected == err::kPathNotFound ? FileContents::Status::Missing : FileContents::Status::Unreadable, {}, injected};
  using Status = FileContents::Status;
  auto missing = [](uint32_t code) { return FileContents{Status::Missing, {}, code}; };
  auto unreadable = [](uint32_t code) { return FileContents{Status::Unreadable, {}, code}; };
  Place place = locate(path);
  if (!place.host) return missing(place.error);
  const std::string& host = *place.host;
  Fd fd(open(host.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    const uint32_t code = posix::windowsError(errno, host);
    return code == err::kFileNotFound || code == err::kPathNotFound ? missing(code) : unreadable(code);
  }
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) return unreadable(posix::windowsError(errno, host));
  if (S_ISDIR(info.st_mode)) return unreadable(err::kAccessDenied);
  if (S_ISREG(info.st_mode) && posix::heldExclusively(fd.get())) return unreadable(err::kSharingViolation);
  FileContents contents{Status::Ok, {}, err::kSuccess};
  contents.bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return unreadable(posix::windowsError(errno, host));
    if (got == 0) return contents;
    contents.bytes.append(buffer, static_cast<size_t>(got));
  }
}

bool sameExistingFile(const Str& a, const Str& b) {
  posix::calls::note("files.sameExistingFile");
  auto [first, second] = locate(a, b);
  struct stat infoA {}, infoB {};
  return first.host && second.host && first.stat(infoA) == 0 && second.stat(infoB) == 0 && sameFile(infoA, infoB);
}

Result writeFile(const Str& path, const std::string& bytes) {
  posix::calls::note("files.writeFile");
  if (uint32_t injected = posix::faults::check("files.writeFile")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  mode_t mode = posix::creationMode();
  struct stat info {};
  const bool there = place.stat(info) == 0;
  if (there) {
    // The replacement is a rename, which Windows refuses onto a read-only
    // file and onto a file that is open.
    if (S_ISDIR(info.st_mode) || isReadOnly(host, info) || holderOf(host) != Holder::Nobody)
      return failure(err::kAccessDenied);
    mode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    return errnoFailure(host, "stat");
  }
  if (writeRefused(place.machine, host)) return failure(err::kAccessDenied);
  if (posix::faults::mutated(posix::faults::Mutation::FilesWrittenInPlace)) {
    Fd fd(open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (!fd.valid() || !writeAll(fd.get(), bytes.data(), bytes.size())) return errnoFailure(host, "write");
    posix::noteNameAdded(host);
    return Result::success();
  }
  const AtPlace at = place.at();
  std::optional<SiblingTemp> temp = SiblingTemp::create(at, there ? Replaces::TheFileThere : Replaces::Nothing, 0600);
  if (!temp) return errnoFailure(host, "mkstemp");
  if (!writeAll(temp->fd(), bytes.data(), bytes.size()) || fchmod(temp->fd(), mode) != 0)
    return errnoFailure(host, "write");
  if (!temp->commit()) return errnoFailure(host, "rename");
  return Result::success();
}

Result createOrTruncate(const Str& path) {
  posix::calls::note("files.createOrTruncate");
  if (uint32_t injected = posix::faults::check("files.createOrTruncate")) return failure(injected);
  Place place = locate(path);
  if (!place.host) return failure(place.error);
  const std::string& host = *place.host;
  struct stat info {};
  if (place.stat(info) == 0) {
    if (S_ISDIR(info.st_mode) || isReadOnly(host, info)) return failure(err::kAccessDenied);
    if (holderOf(host) != Holder::Nobody) return failure(err::kSharingViolation);
  }
  if (writeRefused(place.machine, host)) return failure(err::kAccessDenied);
  Fd fd(open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.valid()) return errnoFailure(host, "open");
  posix::noteNameAdded(host);
  return Result::success();
}

std::optional<ExclusiveLock> ExclusiveLock::acquire(const Str& path) {
  Place place = locate(path);
  if (!place.host) return std::nullopt;
  Fd fd(open(place.host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
  ExclusiveLock lock;
  lock.handle_ = fd.release();
  return lock;
}

void ExclusiveLock::release() {
  if (handle_ >= 0) {
    int saved = errno;
    close(static_cast<int>(handle_));
    errno = saved;
  }
  handle_ = kNone;
}

}  // namespace orvel::files
