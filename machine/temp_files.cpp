#include "machine/temp_files.h"

#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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

std::string tempTemplate(const std::string& folder) {
  const std::string pid = std::to_string(ownPid());
  constexpr std::string_view kUnique = "-XXXXXX";
  std::string name;  // made once: a copy makes one per file
  name.reserve(folder.size() + 1 + kTempPrefix.size() + pid.size() + kUnique.size());
  name.append(folder).append("/").append(kTempPrefix).append(pid).append(kUnique);
  return name;
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
