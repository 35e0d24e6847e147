#include "machine/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "machine/fault_injection.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/view_hash.h"

namespace orvel::posix {
namespace {

constexpr std::string_view kTempPrefix = ".~orvel-";

// The writer of a temporary file, from its name; 0 when the name is not one.
pid_t tempWriter(std::string_view name) {
  if (!name.starts_with(kTempPrefix)) return 0;
  name.remove_prefix(kTempPrefix.size());
  pid_t pid = 0;
  size_t digits = 0;
  for (; digits < name.size() && digits < 10 && name[digits] >= '0' && name[digits] <= '9'; ++digits)
    pid = pid * 10 + (name[digits] - '0');
  return digits > 0 && digits < name.size() && name[digits] == '-' ? pid : 0;
}

// The id of this process, asked of the kernel once per process rather than
// once per file written: a child of fork() asks again for its own.
pid_t ownPid() {
  static std::atomic<pid_t> pid{0};
  static const bool forgottenInChildren = [] { return pthread_atfork(nullptr, nullptr, [] { pid.store(0); }) == 0; }();
  pid_t known = pid.load(std::memory_order_relaxed);
  if (known == 0 || !forgottenInChildren) {
    known = getpid();
    pid.store(known, std::memory_order_relaxed);
  }
  return known;
}

// A process id taken again by a new process keeps its old files a while
// longer: never one that is still written.
bool processGone(pid_t pid) { return pid != ownPid() && kill(pid, 0) != 0 && errno == ESRCH; }

// The folders this process has swept, in this run of the process.
class SweptFolders {
 public:
  static SweptFolders& instance() {
    static SweptFolders swept;
    return swept;
  }
  // True the first time for a folder.
  bool first(std::string_view folder) {
    std::lock_guard<std::mutex> guard(mutex_);
    const uint64_t run = faults::runNumber();
    if (run_ != run) {
      folders_.clear();
      run_ = run;
    }
    if (folders_.find(folder) != folders_.end()) return false;
    folders_.emplace(folder);
    return true;
  }

 private:
  std::mutex mutex_;
  uint64_t run_ = 0;
  std::unordered_set<std::string, TextHash, std::equal_to<>> folders_;  // looked up by a view
};

}  // namespace

namespace {

constexpr std::string_view kUnique = "-XXXXXX";

// `prefix`, then the template of a temporary file's name.
std::string templateAfter(std::string_view prefix) {
  const std::string pid = std::to_string(ownPid());
  std::string name;  // made once: a copy makes one per file
  name.reserve(prefix.size() + kTempPrefix.size() + pid.size() + kUnique.size());
  name.append(prefix).append(kTempPrefix).append(pid).append(kUnique);
  return name;
}

// Fills the X of a template as mkostemp does, from a sequence that starts
// somewhere else in every process.
void fillUnique(std::string& name) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<uint64_t> next = [] {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_nsec) * 2654435761u + static_cast<uint64_t>(now.tv_sec);
  }();
  uint64_t value = next.fetch_add(1, std::memory_order_relaxed);
  for (size_t i = name.size() - (kUnique.size() - 1); i < name.size(); ++i) {
    name[i] = kLetters[value % (sizeof kLetters - 1)];
    value /= sizeof kLetters - 1;
  }
}

}  // namespace

std::string tempTemplate(const std::string& folder) { return templateAfter(folder + "/"); }

namespace {

// A free temporary name beside `folderFd`, taken by `take` (0, or -1 with
// errno, EEXIST when the name is someone else's).
template <typename Take>
std::optional<std::string> takeTempName(int folderFd, const std::string& folder, Take take) {
  std::string name = folderFd == AT_FDCWD ? tempTemplate(folder) : templateAfter({});
  for (int attempt = 0; attempt < 100; ++attempt) {
    fillUnique(name);
    if (take(name.c_str()) == 0) return name;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// The ways a process may name an unnamed file: beside its descriptor
// (AT_EMPTY_PATH: since Linux 6.10, or a process that may read every
// folder), else through /proc.
enum class Naming { Unknown, BesideDescriptor, ThroughProc, Impossible };

int linkUnnamed(Naming way, int fd, int folderFd, const char* name) {
  if (way == Naming::BesideDescriptor) return linkat(fd, "", folderFd, name, AT_EMPTY_PATH);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return linkat(AT_FDCWD, self.c_str(), folderFd, name, AT_SYMLINK_FOLLOW);
}

// How this process names an unnamed file, found out once, with a file of
// its own in the folder, before any file's content depends on it.
Naming naming(int folderFd, const std::string& folder) {
  static std::atomic<Naming> known{Naming::Unknown};
  if (Naming way = known.load(std::memory_order_relaxed); way != Naming::Unknown) return way;
  for (Naming way : {Naming::BesideDescriptor, Naming::ThroughProc}) {
    Fd probe(openat(folderFd, folderFd == AT_FDCWD ? folder.c_str() : ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!probe.valid()) return Naming::Unknown;
    std::optional<std::string> name = takeTempName(
        folderFd, folder, [&](const char* candidate) { return linkUnnamed(way, probe.get(), folderFd, candidate); });
    if (name) {
      unlinkat(folderFd, name->c_str(), 0);
      known.store(way, std::memory_order_relaxed);
      return way;
    }
    if (errno != ENOENT) return Naming::Unknown;  // this folder's refusal, not the way's
  }
  known.store(Naming::Impossible, std::memory_order_relaxed);
  return Naming::Impossible;
}

}  // namespace

std::optional<CreatedTemp> createTemp(int folderFd, const std::string& folder, mode_t mode) {
  Fd fd;
  std::optional<std::string> name = takeTempName(folderFd, folder, [&](const char* candidate) {
    fd = Fd(openat(folderFd, candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    return fd.valid() ? 0 : -1;
  });
  if (!name) return std::nullopt;
  return CreatedTemp{std::move(*name), std::move(fd)};
}

Fd createUnnamed(int folderFd, std::string_view folderPath, mode_t mode) {
  // Beside a folder's handle its path is not needed, and not made.
  const std::string folder(folderFd == AT_FDCWD ? folderPath : std::string_view());
  const Naming way = naming(folderFd, folder);
  if (way == Naming::Unknown || way == Naming::Impossible) return Fd();
  return Fd(openat(folderFd, folderFd == AT_FDCWD ? folder.c_str() : ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
}

namespace {

// The umask cannot be read without being set; the kernel shows it in the
// process's status. Read once: this program never changes it.
mode_t processUmask() {
  static const mode_t mask = [] {
    mode_t found = 022;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("Umask:", 0) == 0) found = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return found;
  }();
  return mask;
}

}  // namespace

bool madeWith(mode_t mode) { return (mode & 07000) == 0 && (mode & processUmask()) == 0; }

mode_t creationMode() { return 0666 & ~processUmask(); }

bool nameUnnamed(int fd, int folderFd, const char* name) {
  // The way is known: the file was made after it was found.
  return linkUnnamed(naming(folderFd, {}), fd, folderFd, name) == 0;
}

std::optional<std::string> nameUnnamedAsTemp(int fd, int folderFd, const std::string& folder) {
  return takeTempName(folderFd, folder,
                      [&](const char* candidate) { return nameUnnamed(fd, folderFd, candidate) ? 0 : -1; });
}

void removeStaleTemps(std::string_view folderPath, Sweep when) {
  if (!SweptFolders::instance().first(folderPath) && when == Sweep::OncePerRun) return;
  const std::string folder(folderPath);
  Dir dir(opendir(folder.c_str()));
  if (!dir.valid()) return;
  std::vector<std::string> stale;
  while (const dirent* entry = readdir(dir.get())) {
    const pid_t writer = tempWriter(entry->d_name);
    if (writer > 0 && processGone(writer)) stale.push_back(folder + "/" + entry->d_name);
  }
  dir.reset();
  for (const std::string& path : stale)
    if (unlink(path.c_str()) == 0) noteNameRemoved(path);
}

}  // namespace orvel::posix
