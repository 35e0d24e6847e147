// The Windows shell on the emulated machine.
//
// shell.log in the machine root gets one line per call, UTF-8, the fields
// separated by a tab, written before the call does anything:
//   execute<TAB>file<TAB>parameters<TAB>folder<TAB>show command (decimal)
//   notify<TAB>event<TAB>flags    event as "0x" and eight hex digits
//                                 (0x08000000), flags in decimal
// A tab, CR or LF inside a field is written as a blank, so that each line
// stays one record. Texts are logged as the program passed them.
//
// Starting a file: a .bat or .cmd file runs detached in the batch
// interpreter; a native program (executable, ELF or "#!") starts detached
// with the parameters split as a Windows program splits its command line.
// Anything else has no association (SE_ERR_NOASSOC).
//
// The recycle bin is recycle-bin/ in the machine root; each deleted item
// keeps its name behind a number that makes it unique ("1-styles",
// "2-styles").
#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "machine/batch.h"
#include "machine/fault_injection.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/paths.h"

namespace orvel::shell {
namespace {

namespace fs = std::filesystem;
using posix::Fd;
using posix::Machine;

// ShellExecuteW's codes.
constexpr intptr_t kStarted = 42;
constexpr intptr_t kSeFileNotFound = 2;
constexpr intptr_t kSePathNotFound = 3;
constexpr intptr_t kSeAccessDenied = 5;
constexpr intptr_t kSeOutOfMemory = 8;
constexpr intptr_t kSeBadFormat = 11;
constexpr intptr_t kSeNoAssociation = 31;

constexpr uint16_t kFofAllowUndo = 0x40;

// --- shell.log ------------------------------------------------------------------

std::string logField(const Str& text) {
  std::string field = toUtf8(text);
  for (char& c : field)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return field;
}

void appendLog(const Machine& machine, const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
  line += '\n';
  // One write on an appending descriptor: lines of several processes never mix.
  const Fd fd(open(machine.shellLog().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (fd.valid()) (void)!write(fd.get(), line.data(), line.size());
}

// --- starting -------------------------------------------------------------------

// How a Windows program splits its command line (CommandLineToArgvW): blanks
// separate, quotes group, 2n backslashes before a quote are n backslashes and
// the quote counts, 2n+1 are n backslashes and a literal quote, and "" inside
// quotes is a literal quote.
std::vector<Str> splitCommandLine(StrView line) {
  std::vector<Str> arguments;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
    if (i >= line.size()) break;
    Str argument;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
      if (line[i] == u'\\') {
        size_t count = 0;
        while (i < line.size() && line[i] == u'\\') ++count, ++i;
        if (i < line.size() && line[i] == u'"') {
          argument.append(count / 2, u'\\');
          if (count % 2) argument.push_back(u'"'), ++i;
        } else {
          argument.append(count, u'\\');
        }
      } else if (line[i] == u'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument.push_back(u'"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument.push_back(line[i++]);
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

void closeInheritedDescriptors(int keep) {
  if (keep > 3) close_range(3, static_cast<unsigned>(keep - 1), 0);
  close_range(static_cast<unsigned>(keep + 1), ~0u, 0);
  if (keep != 3) close(3);
}

void standardHandlesToNull() {
  int null = open("/dev/null", O_RDWR);
  if (null < 0) return;
  dup2(null, 0);
  dup2(null, 1);
  dup2(null, 2);
  if (null > 2) close(null);
}

// Runs `work` in a grandchild that no terminal or session of ours owns, with
// its standard handles on /dev/null and no descriptor of ours but `report`.
// `work` writes an errno value to `report` when it cannot start, and closes
// it (or execs) when it can. Returns that errno value, 0 when it started.
int startDetached(const std::function<void(int report)>& work) {
  int channel[2];
  if (pipe2(channel, O_CLOEXEC) != 0) return errno;
  pid_t child = fork();
  if (child < 0) {
    int error = errno;
    close(channel[0]);
    close(channel[1]);
    return error;
  }
  if (child == 0) {
    setsid();
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    standardHandlesToNull();
    closeInheritedDescriptors(channel[1]);
    work(channel[1]);
    _exit(0);
  }
  close(channel[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int reported = 0;
  ssize_t got;
  while ((got = read(channel[0], &reported, sizeof reported)) < 0 && errno == EINTR) {
  }
  close(channel[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return EAGAIN;
  return got == static_cast<ssize_t>(sizeof reported) ? reported : 0;
}

void reportFailure(int report, int error) {
  (void)!write(report, &error, sizeof error);
  _exit(127);
}

intptr_t shellCode(int error) {
  switch (error) {
    case 0: return kStarted;
    case ENOENT: return kSeFileNotFound;
    case ENOTDIR: return kSePathNotFound;
    case EACCES:
    case EPERM: return kSeAccessDenied;
    case ENOEXEC: return kSeBadFormat;
    default: return kSeOutOfMemory;
  }
}

intptr_t startBatch(const Str& batchFile, const Str& folder) {
  return shellCode(startDetached([&](int report) {
    close(report);
    (void)posix::batch::runFile(batchFile, folder);
  }));
}

intptr_t startProgram(const std::string& program, const Str& parameters, const std::string& folder) {
  std::vector<std::string> arguments{program};
  for (const Str& argument : splitCommandLine(parameters)) arguments.push_back(toUtf8(argument));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return shellCode(startDetached([&](int report) {
    if (chdir(folder.c_str()) != 0) reportFailure(report, errno);
    execv(program.c_str(), argv.data());
    reportFailure(report, errno);
  }));
}

bool isNativeProgram(const std::string& host, const struct stat& info) {
  if (!S_ISREG(info.st_mode) || !(info.st_mode & 0111)) return false;
  char magic[4] = {};
  FILE* file = std::fopen(host.c_str(), "rb");
  if (!file) return false;
  size_t got = std::fread(magic, 1, sizeof magic, file);
  std::fclose(file);
  return (got == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') ||
         (got >= 2 && magic[0] == '#' && magic[1] == '!');
}

bool isBatchFile(const Str& path) {
  size_t dot = path.find_last_of(u'.');
  if (dot == Str::npos || path.find_first_of(u"\\/", dot) != Str::npos) return false;
  Str extension = formats::upcased(StrView(path).substr(dot));
  return extension == u".BAT" || extension == u".CMD";
}

// --- recycle bin ------------------------------------------------------------------

bool holdsOpenFile(const std::string& host) {
  std::error_code ec;
  if (!fs::is_directory(host, ec)) return posix::holderOf(host) == posix::Holder::ExclusiveOwner;
  for (auto it = fs::recursive_directory_iterator(host, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec) && posix::holderOf(it->path().string()) == posix::Holder::ExclusiveOwner)
      return true;
  }
  return false;
}

// Moves the item into the bin under a name nobody has taken.
bool moveToBin(const Machine& machine, const std::string& host) {
  std::error_code ec;
  fs::create_directories(machine.recycleBin(), ec);
  std::string name = fs::path(host).filename().string();
  size_t number = 1;
  for (auto it = fs::directory_iterator(machine.recycleBin(), ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    ++number;
  for (;; ++number) {
    std::string place = machine.recycleBin() + "/" + std::to_string(number) + "-" + name;
    if (renameat2(AT_FDCWD, host.c_str(), AT_FDCWD, place.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) continue;
    if (errno != EXDEV) return false;
    // An item from another file system is copied in and removed.
    if (fs::exists(place, ec)) continue;
    fs::copy(host, place, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) return false;
    fs::remove_all(host, ec);
    return !ec;
  }
}

}  // namespace

intptr_t execute(void* owner, const Str& file, const Str& parameters, const Str& directory, int showCommand) {
  if (uint32_t injected = posix::faults::check("shell.execute")) return injected > 32 ? err::kAccessDenied : injected;
  Machine machine = Machine::current();
  appendLog(machine, {"execute", logField(file), logField(parameters), logField(directory),
                      std::to_string(showCommand)});
  Str folder = directory.empty() ? posix::currentWindowsFolder(machine)
                                 : posix::fullWindowsPath(machine, directory);
  std::optional<std::string> folderHost = machine.hostPath(folder);
  struct stat info {};
  if (!folderHost || stat(folderHost->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return kSePathNotFound;
  // A relative file name is looked for in the working folder.
  bool namesItsPlace = file.size() >= 2 && (file[1] == u':' || posix::isAbsoluteWindowsPath(file));
  if (!file.empty() && posix::isSeparator(file[0])) namesItsPlace = true;
  Str target = namesItsPlace ? posix::fullWindowsPath(machine, file)
                             : folder + (posix::isSeparator(folder.back()) ? u"" : u"\\") + file;
  std::optional<std::string> host = file.empty() ? std::nullopt : machine.hostPath(target);
  if (!host || stat(host->c_str(), &info) != 0) return kSeFileNotFound;
  if (isBatchFile(target) && S_ISREG(info.st_mode)) return startBatch(target, folder);
  if (isNativeProgram(*host, info)) return startProgram(*host, parameters, *folderHost);
  return kSeNoAssociation;
}

Str specialFolder(int csidl) {
  const char* name = nullptr;
  switch (csidl) {
    case kCsidlStartMenu: name = "StartMenu"; break;
    case kCsidlDesktopDirectory: name = "Desktop"; break;
    case kCsidlCommonStartMenu: name = "CommonStartMenu"; break;
    case kCsidlCommonDesktopDirectory: name = "CommonDesktop"; break;
    case kCsidlAppData: name = "AppData"; break;
    case kCsidlProgramFiles: name = "ProgramFiles"; break;
    default: return {};
  }
  Machine machine = Machine::current();
  auto folder = machine.settings().folders.find(name);
  if (folder == machine.settings().folders.end()) return {};
  Str path = folder->second;
  // A drive's root keeps its separator ("C:\"); every other folder loses it.
  while (path.size() > 3 && posix::isSeparator(path.back())) path.pop_back();
  return path;
}

int deleteToRecycleBin(const Str& path, uint16_t flags) {
  if (uint32_t injected = posix::faults::check("shell.deleteToRecycleBin")) return static_cast<int>(injected);
  Machine machine = Machine::current();
  std::optional<std::string> host = posix::resolveHostPath(machine, path);
  struct stat info {};
  if (!host || lstat(host->c_str(), &info) != 0) return static_cast<int>(err::kFileNotFound);
  while (host->size() > 1 && host->back() == '/') host->pop_back();
  if (posix::writeRefused(machine, *host)) return static_cast<int>(err::kAccessDenied);
  if (holdsOpenFile(*host)) return static_cast<int>(err::kSharingViolation);
  if (flags & kFofAllowUndo) return moveToBin(machine, *host) ? 0 : static_cast<int>(err::kAccessDenied);
  std::error_code ec;
  fs::remove_all(*host, ec);
  return ec ? static_cast<int>(err::kAccessDenied) : 0;
}

void changeNotify(uint32_t eventId, uint32_t flags) {
  char event[16];
  std::snprintf(event, sizeof event, "0x%08X", eventId);
  appendLog(Machine::current(), {"notify", event, std::to_string(flags)});
}

}  // namespace orvel::shell
