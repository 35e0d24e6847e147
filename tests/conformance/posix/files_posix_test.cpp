// What the emulated machine keeps on the host for the file service, and the
// refusals only it can be asked for: another process's lock, a running
// program, a user without administrator rights.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "machine/fault_injection.h"
#include "machine/machine.h"
#include "machine/own_executable.h"
#include "machine/temp_files.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::readTestFile;
using test::TestMachine;
using test::writeTestFile;
using MachineIni = std::map<std::string, std::string>;

std::string hostOf(const Str& path) { return posix::Machine::current().hostPath(path).value(); }

mode_t modeOf(const Str& path) {
  struct stat info {};
  EXPECT_EQ(stat(hostOf(path).c_str(), &info), 0);
  return info.st_mode & 07777;
}

std::string storedAttributes(const Str& path) {
  char text[32] = {};
  ssize_t size = getxattr(hostOf(path).c_str(), "user.orvel.attributes", text, sizeof text - 1);
  return size < 0 ? "<none>" : std::string(text, static_cast<size_t>(size));
}

TEST(FilesOnTheHost, ReadOnlyIsTheMissingWriteBits) {
  TestMachine machine;
  const Str path = machine.scratch() + u"a.txt";
  writeTestFile(path, "x");
  ASSERT_EQ(chmod(hostOf(path).c_str(), 0644), 0);
  ASSERT_TRUE(files::setAttributes(path, files::kReadOnly | files::kHidden).ok());
  EXPECT_EQ(modeOf(path), 0444u);
  EXPECT_EQ(storedAttributes(path), "3");
  ASSERT_TRUE(files::setAttributes(path, files::kHidden).ok());
  EXPECT_EQ(modeOf(path), 0644u);
  EXPECT_EQ(storedAttributes(path), "2");
  // A file whose write bits another tool took away reads as read-only.
  ASSERT_EQ(chmod(hostOf(path).c_str(), 0444), 0);
  EXPECT_EQ(files::getAttributes(path) & files::kReadOnly, files::kReadOnly);
  // Made by another tool, without the extended attribute: archive, like a new file.
  const Str foreign = machine.scratch() + u"foreign.txt";
  writeTestFile(foreign, "x");
  ASSERT_EQ(removexattr(hostOf(foreign).c_str(), "user.orvel.attributes") == 0 || errno == ENODATA, true);
  EXPECT_EQ(files::getAttributes(foreign), files::kArchive);
}

TEST(FilesOnTheHost, RootCannotDeleteAReadOnlyFileEither) {
  TestMachine machine;
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  const Str path = machine.scratch() + u"a.txt";
  writeTestFile(path, "x");
  ASSERT_TRUE(files::setAttributes(path, files::kReadOnly).ok());
  EXPECT_EQ(files::deleteFile(path).error, err::kAccessDenied);
  EXPECT_EQ(files::writeFile(path, "y").error, err::kAccessDenied);
  EXPECT_EQ(readTestFile(path), "x");
}

TEST(FilesOnTheHost, CopyKeepsThePermissionBits) {
  TestMachine machine;
  const Str from = machine.scratch() + u"Setup.exe";
  writeTestFile(from, "#!/bin/sh\n");
  ASSERT_EQ(chmod(hostOf(from).c_str(), 0751), 0);
  ASSERT_TRUE(files::setAttributes(from, files::kSystem).ok());
  const Str to = machine.scratch() + u"copy\\Setup.exe";
  ASSERT_TRUE(files::forceDirectories(machine.scratch() + u"copy").ok());
  ASSERT_TRUE(files::copyFile(from, to, files::IfExists::Replace).ok());
  EXPECT_EQ(modeOf(to), 0751u);
  EXPECT_EQ(storedAttributes(to), "4");
}

TEST(FilesOnTheHost, ReplacementKeepsThePermissionBits) {
  TestMachine machine;
  const Str path = machine.scratch() + u"OrvelDraw.exe";
  writeTestFile(path, "old");
  ASSERT_EQ(chmod(hostOf(path).c_str(), 0755), 0);
  ASSERT_TRUE(files::writeFile(path, "new").ok());
  EXPECT_EQ(modeOf(path), 0755u);
  // No temporary file is left beside it.
  EXPECT_EQ(files::findFiles(machine.scratch() + u"*").size(), 1u);
}

// The emulated machine lists a folder in the order of its upper-case names,
// unit by unit over the whole basic plane: É (U+00C9) before Ā (U+0100),
// Ÿ (U+0178, from ÿ) before 一 (U+4E00), a name before its longer forms.
TEST(FilesOnTheHost, ListingInUpperCaseOrderBeyondLatin1OnTheEmulatedMachine) {
  TestMachine machine;
  for (const Str name : {u"\u4E00", u"\u0101", u"a", u"\u00FF", u"_", u"\u00E9", u"ab", u"Z"})
    writeTestFile(machine.scratch() + name, "x");
  std::vector<Str> listed;
  for (const files::FindEntry& entry : files::findFiles(machine.scratch() + u"*")) listed.push_back(entry.name);
  EXPECT_EQ(listed, (std::vector<Str>{u"a", u"ab", u"Z", u"_", u"\u00E9", u"\u0101", u"\u00FF", u"\u4E00"}));
}

// A lock that another process holds counts like one of this process.
TEST(FilesOnTheHost, LockOfAnotherProcess) {
  TestMachine machine;
  const Str path = machine.scratch() + u"Setup.exe";
  writeTestFile(path, "x");
  int ready[2];
  int finish[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(finish), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(finish[1]);
    auto lock = files::ExclusiveLock::acquire(path);
    char c = lock ? '1' : '0';
    (void)!write(ready[1], &c, 1);
    (void)!read(finish[0], &c, 1);
    _exit(0);
  }
  close(finish[0]);
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  EXPECT_EQ(files::deleteFile(path).error, err::kSharingViolation);
  EXPECT_FALSE(files::ExclusiveLock::acquire(path).has_value());
  close(finish[1]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(files::deleteFile(path).ok());
  close(ready[0]);
}

// A running program's file can be read, copied and renamed, but not deleted,
// overwritten or replaced.
TEST(FilesOnTheHost, RunningProgramIsKept) {
  TestMachine machine;
  const Str path = machine.scratch() + u"Setup.exe";
  writeTestFile(path, "program");
  posix::ExecutableLock running = posix::lockExecutable(hostOf(path));
  ASSERT_TRUE(running.held());
  EXPECT_EQ(files::deleteFile(path).error, err::kAccessDenied);
  EXPECT_EQ(files::writeFile(path, "new").error, err::kAccessDenied);
  const Str other = machine.scratch() + u"other.exe";
  writeTestFile(other, "other");
  EXPECT_EQ(files::copyFile(other, path, files::IfExists::Replace).error, err::kSharingViolation);
  EXPECT_EQ(files::replaceFile(other, path).error, err::kAccessDenied);
  EXPECT_EQ(files::readFile(path).value_or("?"), "program");
  EXPECT_TRUE(files::copyFile(path, machine.scratch() + u"copy.exe", files::IfExists::Replace).ok());
  EXPECT_TRUE(files::moveFile(path, machine.scratch() + u"renamed.exe").ok());
  running.release();
  EXPECT_TRUE(files::deleteFile(machine.scratch() + u"renamed.exe").ok());
}

// What a writer killed half-way left (its temporary file, named after its
// process) goes with the next write into that folder; the temporary file of
// a process that still runs, and any other name, stay.
TEST(FilesOnTheHost, EmulatedOnly_TemporaryFilesOfEndedWritersAreRemoved) {
  TestMachine machine;
  const Str ini = machine.scratch() + u"ODMachine.INI";
  writeTestFile(ini, "old");
  const pid_t ended = fork();
  ASSERT_GE(ended, 0);
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  const std::string folder = hostOf(machine.scratch());
  const std::string stale = folder + "/.~orvel-" + std::to_string(ended) + "-Xy12Ab";
  const std::string live = folder + "/.~orvel-" + std::to_string(getppid()) + "-Xy12Ab";
  const std::string other = folder + "/.~orvel-backup";
  for (const std::string& path : {stale, live, other}) std::ofstream(path) << "torn";
  posix::faults::newRun();  // as a new process
  ASSERT_TRUE(files::writeFile(ini, "new").ok());
  EXPECT_NE(access(stale.c_str(), F_OK), 0);
  EXPECT_EQ(access(live.c_str(), F_OK), 0);
  EXPECT_EQ(access(other.c_str(), F_OK), 0);
  EXPECT_EQ(readTestFile(ini), "new");
  // Nor does it keep a folder from being removed.
  const Str emptied = machine.scratch() + u"emptied";
  ASSERT_TRUE(files::createDirectory(emptied).ok());
  std::ofstream(hostOf(emptied) + "/.~orvel-" + std::to_string(ended) + "-Xy12Ab") << "torn";
  EXPECT_TRUE(files::removeDirectory(emptied).ok());
}

// A child of fork() names its temporary files after itself, not after the
// parent whose id the process knew before: else the parent would take them
// for its own and never sweep them up after the child was killed.
TEST(FilesOnTheHost, EmulatedOnly_AForkedChildNamesItsTemporaryFilesAfterItself) {
  TestMachine machine;
  ASSERT_TRUE(files::writeFile(machine.scratch() + u"before.ini", "x").ok());
  const std::string folder = hostOf(machine.scratch());
  auto named = [&](pid_t pid) {
    return posix::tempTemplate(folder) == folder + "/.~orvel-" + std::to_string(pid) + "-XXXXXX";
  };
  ASSERT_TRUE(named(getpid()));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(named(getpid()) ? 0 : 1);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(named(getpid()));
}

// The machine keeps the folders it works in open between calls: a folder
// moved away, replaced or swapped for a link in the meantime is the one the
// path names now, and the old one is left as it was.
TEST(FilesOnTheHost, EmulatedOnly_AFolderChangedBetweenCallsIsTheOneItsPathNamesNow) {
  TestMachine machine;
  const Str source = machine.scratch() + u"source.txt";
  writeTestFile(source, "new");
  const Str folder = machine.scratch() + u"Target\\";
  const std::string host = hostOf(machine.scratch()) + "/Target";
  const std::string moved = hostOf(machine.scratch()) + "/moved";
  const std::string elsewhere = hostOf(machine.scratch()) + "/elsewhere";
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"moved away, a new one made", [&] { ASSERT_EQ(rename(host.c_str(), moved.c_str()), 0); ASSERT_EQ(mkdir(host.c_str(), 0755), 0); }},
      {"removed and made again", [&] { ASSERT_EQ(rename(host.c_str(), moved.c_str()), 0); ASSERT_EQ(mkdir(host.c_str(), 0755), 0); ASSERT_EQ(rmdir(host.c_str()), 0); ASSERT_EQ(mkdir(host.c_str(), 0755), 0); }},
      {"a link to another folder", [&] { ASSERT_EQ(rename(host.c_str(), moved.c_str()), 0); ASSERT_EQ(symlink(elsewhere.c_str(), host.c_str()), 0); }},
  };
  for (const auto& [change, make] : changes) {
    SCOPED_TRACE(change);
    for (const std::string& path : {host, moved, elsewhere}) std::filesystem::remove_all(path);
    ASSERT_EQ(mkdir(host.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    ASSERT_TRUE(files::copyFile(source, folder + u"a.txt", files::IfExists::Replace).ok());
    ASSERT_TRUE(files::fileExists(folder + u"A.TXT"));
    make();
    EXPECT_FALSE(files::fileExists(folder + u"a.txt"));
    ASSERT_TRUE(files::copyFile(source, folder + u"b.txt", files::IfExists::Fail).ok());
    ASSERT_TRUE(files::writeFile(folder + u"c.txt", "written").ok());
    std::vector<Str> listed;
    for (const files::FindEntry& entry : files::findFiles(folder + u"*.*")) listed.push_back(entry.name);
    EXPECT_EQ(listed, (std::vector<Str>{u"b.txt", u"c.txt"}));
    EXPECT_EQ(readTestFile(folder + u"b.txt"), "new");
    // The old folder holds what it held, and nothing more.
    std::vector<std::string> old;
    for (const auto& entry : std::filesystem::directory_iterator(moved)) old.push_back(entry.path().filename());
    EXPECT_EQ(old, std::vector<std::string>{"a.txt"});
  }
}

// A new file is made without a name and named when whole: until then the
// folder shows nothing of it, and a name taken in the meantime is not
// overwritten by the naming but left to the rename that replaces it.
TEST(FilesOnTheHost, EmulatedOnly_ANewFileHasNoNameUntilItIsWhole) {
  TestMachine machine;
  const std::string folder = hostOf(machine.scratch());
  auto names = [&] {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) found.push_back(entry.path().filename());
    std::sort(found.begin(), found.end());
    return found;
  };
  const posix::Fd unnamed = posix::createUnnamed(AT_FDCWD, folder);
  ASSERT_TRUE(unnamed.valid()) << "the machine's folders are on a file system with O_TMPFILE";
  ASSERT_EQ(write(unnamed.get(), "new", 3), 3);
  EXPECT_EQ(names(), std::vector<std::string>{});
  std::ofstream(folder + "/taken") << "old";
  EXPECT_FALSE(posix::nameUnnamed(unnamed.get(), AT_FDCWD, (folder + "/taken").c_str()));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(readTestFile(machine.scratch() + u"taken"), "old");
  const std::optional<std::string> temp = posix::nameUnnamedAsTemp(unnamed.get(), AT_FDCWD, folder);
  ASSERT_TRUE(temp);
  EXPECT_EQ(temp->rfind(folder + "/.~orvel-" + std::to_string(getpid()) + "-", 0), 0u) << *temp;
  EXPECT_EQ(names(), (std::vector<std::string>{temp->substr(folder.size() + 1), "taken"}));
  EXPECT_EQ(readTestFile(machine.scratch() + u"taken"), "old");
}

TEST(FilesOnTheHost, OwnExecutableIsLockedWhileHeld) {
  auto exclusiveLockable = [] {
    int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
  };
  {
    posix::ExecutableLock running = posix::lockOwnExecutable();
    ASSERT_TRUE(running.held());
    EXPECT_FALSE(exclusiveLockable());
  }
  EXPECT_TRUE(exclusiveLockable());
}

TEST(FilesOnTheHost, EmulatedOnly_NonAdministratorCannotWriteProgramFiles) {
  TestMachine machine(MachineIni{{"Machine.Administrator", "0"}});
  const Str programs = u"C:\\Program Files\\";
  const Str existing = programs + u"OrvelDraw\\OrvelDraw.exe";
  // Put there by an administrator before.
  std::string host = hostOf(programs) + "OrvelDraw";
  ASSERT_EQ(mkdir(host.c_str(), 0755), 0);
  std::ofstream(host + "/OrvelDraw.exe") << "app";
  const Str outside = machine.scratch() + u"a.txt";
  writeTestFile(outside, "a");
  struct Row {
    const char* what;
    std::function<Result()> write;
  };
  const std::vector<Row> rows = {
      {"create folder", [&] { return files::createDirectory(programs + u"New"); }},
      {"force folders", [&] { return files::forceDirectories(u"c:\\program files\\New\\Sub"); }},
      {"write file", [&] { return files::writeFile(programs + u"new.txt", "x"); }},
      {"truncate", [&] { return files::createOrTruncate(existing); }},
      {"copy into", [&] { return files::copyFile(outside, programs + u"a.txt", files::IfExists::Replace); }},
      {"move out", [&] { return files::moveFile(existing, machine.scratch() + u"moved.exe"); }},
      {"replace", [&] { return files::replaceFile(outside, existing); }},
      {"delete", [&] { return files::deleteFile(existing); }},
      {"attributes", [&] { return files::setAttributes(existing, files::kHidden); }},
      {"time", [&] { return files::setLastWriteTime(existing, 132223104000000000ull); }},
      {"remove folder", [&] { return files::removeDirectory(programs + u"OrvelDraw"); }},
  };
  for (const Row& row : rows) EXPECT_EQ(row.write().error, err::kAccessDenied) << row.what;
  // Reading stays allowed, and so does writing elsewhere.
  EXPECT_EQ(files::readFile(existing).value_or("?"), "app");
  EXPECT_TRUE(files::copyFile(existing, machine.scratch() + u"copy.exe", files::IfExists::Replace).ok());
  EXPECT_TRUE(files::writeFile(outside, "b").ok());
}

}  // namespace
}  // namespace orvel
