#include "machine/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

#include "machine/fault_injection.h"
#include "machine/handles.h"
#include "machine/machine.h"

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
  bool first(const std::string& folder) {
    std::lock_guard<std::mutex> guard(mutex_);
    const uint64_t run = faults::runNumber();
    if (run_ != run) {
      folders_.clear();
      run_ = run;
    }
    return folders_.insert(folder).second;
  }

 private:
  std::mutex mutex_;
  uint64_t run_ = 0;
  std::set<std::string> folders_;
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

std::optional<CreatedTemp> createTemp(int folderFd, const std::string& folder) {
  std::string name = folderFd == AT_FDCWD ? tempTemplate(folder) : templateAfter({});
  for (int attempt = 0; attempt < 100; ++attempt) {
    fillUnique(name);
    Fd fd(openat(folderFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.valid()) return CreatedTemp{std::move(name), std::move(fd)};
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

void removeStaleTemps(const std::string& folder, Sweep when) {
  if (!SweptFolders::instance().first(folder) && when == Sweep::OncePerRun) return;
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
