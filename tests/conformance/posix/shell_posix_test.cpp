// What the emulated shell leaves in the machine root: shell.log lines and
// the recycle bin; and how it starts native programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/files.h"
#include "machine/machine.h"
#include "platform/shell.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::TestMachine;
using test::writeTestFile;

constexpr uint16_t kRecycleQuietly = 0x54;

std::string hostOf(const Str& path) { return posix::Machine::current().hostPath(path).value(); }

std::set<std::string> binContent(const TestMachine& machine) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(machine.root() + "/recycle-bin", ec))
    names.insert(fs::relative(entry.path(), machine.root() + "/recycle-bin").string());
  return names;
}

bool eventually(const std::function<bool()>& condition) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A native program: a shell script that writes its arguments and its folder.
Str writeProgram(const TestMachine& machine) {
  const Str program = machine.scratch() + u"OrvelDraw.exe";
  writeTestFile(program,
                "#!/bin/sh\n"
                "for a in \"$@\"; do echo \"[$a]\"; done > args.tmp\n"
                "pwd >> args.tmp\n"
                "mv args.tmp args.txt\n");
  EXPECT_EQ(chmod(hostOf(program).c_str(), 0755), 0);
  return program;
}

TEST(ShellLog, EveryCallIsLoggedFirst) {
  TestMachine machine;
  const Str missing = u"C:\\Program Files\\OrvelDraw\\OrvelDraw.exe";
  EXPECT_EQ(shell::execute(nullptr, missing, u"-open a.odr", u"C:\\", shell::kSwShowNormal), 2);
  EXPECT_EQ(shell::execute(nullptr, u"C:\\x.bat", u"", u"", shell::kSwHide), 2);
  shell::changeNotify(shell::kShcneAssocChanged, shell::kShcnfIdList);
  // A tab or line break inside a field would break the record.
  shell::execute(nullptr, u"a\tb", u"line\r\nbreak", u"", 3);
  EXPECT_EQ(machine.shellLog(), (std::vector<std::string>{
                                    "execute\tC:\\Program Files\\OrvelDraw\\OrvelDraw.exe\t-open a.odr\tC:\\\t1",
                                    "execute\tC:\\x.bat\t\t\t0",
                                    "notify\t0x08000000\t0",
                                    "execute\ta b\tline  break\t\t3",
                                }));
}

TEST(ShellStart, NativeProgramGetsItsArgumentsAndFolder) {
  TestMachine machine;
  const Str program = writeProgram(machine);
  const Str folder = machine.scratch() + u"work dir";
  ASSERT_TRUE(files::forceDirectories(folder).ok());
  EXPECT_EQ(shell::execute(nullptr, program, u"one \"two three\" \"a\\\"b\" C:\\x\\ \"\"", folder,
                           shell::kSwShowNormal),
            42);
  const Str args = folder + u"\\args.txt";
  ASSERT_TRUE(eventually([&] { return files::fileExists(args); }));
  EXPECT_EQ(readTestFile(args), "[one]\n[two three]\n[a\"b]\n[C:\\x\\]\n[]\n" + hostOf(folder) + "\n");
}

TEST(ShellStart, RelativeNameIsLookedForInTheWorkingFolder) {
  TestMachine machine;
  writeProgram(machine);
  EXPECT_EQ(shell::execute(nullptr, u"orveldraw.exe", u"", machine.scratch(), shell::kSwShowNormal), 42);
  EXPECT_TRUE(eventually([&] { return files::fileExists(machine.scratch() + u"args.txt"); }));
}

TEST(ShellStart, WhatCannotBeStarted) {
  TestMachine machine;
  const Str text = machine.scratch() + u"readme.txt";
  writeTestFile(text, "just text");
  const Str notExecutable = machine.scratch() + u"tool.exe";
  writeTestFile(notExecutable, "#!/bin/sh\n");
  struct Row {
    Str file;
    Str folder;
    intptr_t code;
  };
  const std::vector<Row> rows = {
      {text, u"", 31},                                    // 1 no program for it (SE_ERR_NOASSOC)
      {notExecutable, u"", 31},                           // 2 without its execute bits
      {machine.scratch() + u"missing.exe", u"", 2},       // 3 SE_ERR_FNF
      {text, machine.scratch() + u"missing", 3},          // 4 no working folder: SE_ERR_PNF
      {u"", u"", 2},                                      // 5 no file at all
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(shell::execute(nullptr, rows[i].file, u"", rows[i].folder, shell::kSwShowNormal), rows[i].code)
        << "row " << i + 1;
}

// The caller does not wait for a batch file that loops.
TEST(ShellStart, BatchFileDoesNotHoldUpTheCaller) {
  TestMachine machine;
  const Str setup = machine.scratch() + u"Setup.exe";
  writeTestFile(setup, "x");
  auto lock = files::ExclusiveLock::acquire(setup);
  ASSERT_TRUE(lock.has_value());
  const Str batch = machine.scratch() + u"RunOrvel.bat";
  writeTestFile(batch, ":1\r\ndel " + toUtf8(setup) + "\r\nif exist " + toUtf8(setup) + " goto 1\r\n");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(shell::execute(nullptr, batch, u"", u"", shell::kSwHide), 42);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  lock->release();
  EXPECT_TRUE(eventually([&] { return !files::fileExists(setup); }));
}

TEST(RecycleBin, ItemsKeepTheirNameBehindAUniqueNumber) {
  TestMachine machine;
  const Str styles = machine.scratch() + u"styles";
  writeTestFile(styles + u"\\sub\\deep.ods", "1");
  ASSERT_EQ(shell::deleteToRecycleBin(styles, kRecycleQuietly), 0);
  writeTestFile(styles + u"\\classic.ods", "2");
  ASSERT_EQ(shell::deleteToRecycleBin(styles, kRecycleQuietly), 0);
  const Str install = machine.scratch() + u"install.txt";
  writeTestFile(install, "3");
  ASSERT_EQ(shell::deleteToRecycleBin(install, kRecycleQuietly), 0);
  EXPECT_EQ(binContent(machine), (std::set<std::string>{"1-styles", "1-styles/sub", "1-styles/sub/deep.ods",
                                                         "2-styles", "2-styles/classic.ods", "3-install.txt"}));
}

TEST(RecycleBin, WithoutUndoTheItemIsGone) {
  TestMachine machine;
  const Str styles = machine.scratch() + u"styles";
  writeTestFile(styles + u"\\classic.ods", "c");
  EXPECT_EQ(shell::deleteToRecycleBin(styles, 0x14), 0);  // FOF_NOCONFIRMATION | FOF_SILENT
  EXPECT_FALSE(files::directoryExists(styles));
  EXPECT_TRUE(binContent(machine).empty());
}

TEST(RecycleBin, FolderWithAnOpenFileStays) {
  TestMachine machine;
  const Str styles = machine.scratch() + u"styles";
  writeTestFile(styles + u"\\classic.ods", "c");
  auto lock = files::ExclusiveLock::acquire(styles + u"\\classic.ods");
  ASSERT_TRUE(lock.has_value());
  EXPECT_EQ(shell::deleteToRecycleBin(styles, kRecycleQuietly), static_cast<int>(err::kSharingViolation));
  EXPECT_TRUE(files::fileExists(styles + u"\\classic.ods"));
}

}  // namespace
}  // namespace orvel
