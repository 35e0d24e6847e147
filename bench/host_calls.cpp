// What the host's file calls alone cost when 2,000 files of 4 KiB are
// copied into an empty folder, without any of the program's own work: the
// calls `cp -rp` (GNU coreutils 9) makes per file, against those the
// emulated machine makes for a Windows copy (the folder and name looks that
// ignore letter case, the sharing lock, the attributes, a file made unnamed
// and linked when whole), and those with the two listings an installation
// adds (the source folder's, and the target's for the size in Apps &
// features). Each figure is the best of nine rounds in one process. It
// tells how close an installation on the emulated machine can come to a
// copy at all. Natively only; the files lie in $TMPDIR (a tmpfs keeps the
// disk out).
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 2000;
constexpr int kRounds = 9;
constexpr char kAttributes[] = "user.orvel.attributes";

enum Step { kCp, kMachineCopy, kMachineInstallation };
constexpr const char* kStepNames[] = {
    "cp -rp's calls",
    "the emulated machine's copy",
    "+ both folders listed",
};

// The attributes of a name beside its folder, as the machine reads them
// where the kernel can (getxattrat, Linux 6.13); else by the path.
void ReadAttributes(int folder, const std::string& path, const char* name) {
  char text[32];
#if defined(__x86_64__) || defined(__aarch64__)
  struct {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
  } args{reinterpret_cast<uintptr_t>(text), sizeof text, 0};
  if (syscall(464, folder, name, 0u, kAttributes, &args, sizeof args) >= 0 || errno != ENOSYS) return;
#endif
  getxattr((path + "/" + name).c_str(), kAttributes, text, sizeof text);
}

// Each name of a folder looked at, with its attributes, as a listing does.
void List(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  struct stat info {};
  while (const dirent* entry = readdir(dir)) {
    fstatat(dirfd(dir), entry->d_name, &info, 0);
    ReadAttributes(dirfd(dir), folder, entry->d_name);
  }
  closedir(dir);
}

// cp -rp's calls for one file (strace of GNU cp 9.1 on a tmpfs).
void CopyAsCp(const std::string& from, const std::string& to, const std::string& name) {
  struct stat info {};
  char acl[132];
  const std::string source = from + "/" + name;
  lstat(source.c_str(), &info);
  const int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW);
  fstat(in, &info);
  const int out = open((to + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  ioctl(out, FICLONE, in);
  fstat(out, &info);
  posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  while (copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0) > 0) {
  }
  fstat(in, &info);
  const timespec times[2] = {info.st_atim, info.st_mtim};
  futimens(out, times);
  const ssize_t size = fgetxattr(in, "system.posix_acl_access", acl, sizeof acl);
  fchmod(out, info.st_mode & 07777);
  if (size > 0) fsetxattr(out, "system.posix_acl_access", acl, static_cast<size_t>(size), 0);
  close(out);
  close(in);
}

// The emulated machine's calls for one file: the settings check, the look
// at each folder and then the name beside its handle, the source opened
// and its sharing lock tried, the new file made unnamed, filled, given the
// source's attributes and times, linked, and the target folder's times
// taken for its listing.
void CopyAsMachine(int source, int target, const std::string& from, const std::string& to,
                   const std::string& settings, const std::string& name) {
  struct stat info {};
  char text[32];
  stat(settings.c_str(), &info);
  lstat(from.c_str(), &info);
  fstatat(source, name.c_str(), &info, AT_SYMLINK_NOFOLLOW);
  lstat(to.c_str(), &info);
  fstatat(target, name.c_str(), &info, AT_SYMLINK_NOFOLLOW);
  const int in = openat(source, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  flock(in, LOCK_SH | LOCK_NB);
  const int out = openat(target, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
  copy_file_range(in, nullptr, out, nullptr, 4096, 0);
  fgetxattr(in, kAttributes, text, sizeof text);
  const timespec times[2] = {info.st_atim, info.st_mtim};
  futimens(out, times);
  linkat(out, "", target, name.c_str(), AT_EMPTY_PATH);
  close(out);
  fstat(target, &info);
  close(in);
}

// One copy of every file at this step, in ms.
double CopyAll(Step step, const std::string& from, const std::string& to, const std::string& settings) {
  fs::remove_all(to);
  fs::create_directories(to);
  const auto start = std::chrono::steady_clock::now();
  if (step == kMachineInstallation) List(from);
  const int target = open(to.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  const int source = open(from.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "file" + std::to_string(i);
    if (step == kCp) CopyAsCp(from, to, name);
    else CopyAsMachine(source, target, from, to, settings, name);
  }
  close(source);
  close(target);
  if (step == kMachineInstallation) List(to);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  const fs::path root = fs::temp_directory_path() / ("orvel-host-calls-" + std::to_string(getpid()));
  const std::string from = (root / "from").string();
  const std::string to = (root / "to").string();
  const std::string settings = (root / "machine.ini").string();
  fs::create_directories(from);
  std::ofstream(settings) << "[Machine]\n";
  std::string bytes(4096, 'x');
  for (int i = 0; i < kFiles; ++i) {
    bytes[0] = static_cast<char>('a' + i % 26);
    std::ofstream(from + "/file" + std::to_string(i), std::ios::binary) << bytes;
  }
  std::vector<double> best(kMachineInstallation + 1, 1e300);
  for (int round = 0; round < kRounds; ++round)
    for (int step = kCp; step <= kMachineInstallation; ++step)
      best[step] = std::min(best[step], CopyAll(static_cast<Step>(step), from, to, settings));
  std::printf("host calls of a copy of %d files of 4 KiB, best of %d rounds\n", kFiles, kRounds);
  for (int step = kCp; step <= kMachineInstallation; ++step)
    std::printf("%-30s %7.1f ms  %5.2fx\n", kStepNames[step], best[step], best[step] / best[kCp]);
  fs::remove_all(root);
  return 0;
}
