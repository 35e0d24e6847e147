// The shell service: special folders, starting files (batch files in
// particular), the recycle bin.
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::TestMachine;
using test::writeTestFile;

constexpr uint16_t kRecycleQuietly = 0x54;  // FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT

// Waits up to `seconds` for the condition; true when it came.
bool eventually(const std::function<bool()>& condition, int seconds = 20) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// The batch file with which the program removes itself: S and D quoted as
// the program quotes paths with blanks.
std::vector<Str> removalBatch(const Str& folder) {
  const Str setup = u"\"" + folder + u"Setup.exe\"";
  return {u"echo on", u":1", u"del " + setup, u"if exist " + setup + u" goto 1", u"rmdir \"" + folder + u"\""};
}

TEST(Shell, SpecialFolders) {
  TestMachine machine;
  for (int csidl : {shell::kCsidlStartMenu, shell::kCsidlDesktopDirectory, shell::kCsidlCommonStartMenu,
                    shell::kCsidlCommonDesktopDirectory, shell::kCsidlAppData, shell::kCsidlProgramFiles}) {
    const Str folder = shell::specialFolder(csidl);
    ASSERT_GE(folder.size(), 3u) << csidl;
    EXPECT_EQ(folder.substr(1, 2), u":\\") << csidl;
    EXPECT_NE(folder.back(), u'\\') << csidl;
    EXPECT_TRUE(files::directoryExists(folder)) << toUtf8(folder);
  }
}

TEST(Shell, StartingAMissingFileFails) {
  TestMachine machine;
  EXPECT_EQ(shell::execute(nullptr, machine.scratch() + u"missing.exe", u"", u"", shell::kSwShowNormal), 2);
}

TEST(Shell, BatchFileRunsDetached) {
  TestMachine machine;
  const Str victim = machine.scratch() + u"victim.txt";
  writeTestFile(victim, "x");
  const Str batch = machine.scratch() + u"run.bat";
  ASSERT_TRUE(files::writeTextLines(batch, {u"@echo off", u"del \"" + victim + u"\""}, sys::ansiCodePage()).ok());
  EXPECT_GT(shell::execute(nullptr, batch, u"", u"", shell::kSwHide), 32);
  EXPECT_TRUE(eventually([&] { return !files::fileExists(victim); }));
}

// The removal batch waits while the setup program is open, then removes it
// and its folder.
TEST(Shell, RemovalBatchWaitsForTheLockedProgram) {
  TestMachine machine;
  const Str folder = machine.scratch() + u"Orvel Draw\\";
  const Str setup = folder + u"Setup.exe";
  writeTestFile(setup, "MZ");
  auto lock = files::ExclusiveLock::acquire(setup);
  ASSERT_TRUE(lock.has_value());
  const Str batch = machine.scratch() + u"RunOrvel.bat";
  ASSERT_TRUE(files::writeTextLines(batch, removalBatch(folder), sys::ansiCodePage()).ok());
  EXPECT_GT(shell::execute(nullptr, batch, u"", u"", shell::kSwHide), 32);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(files::fileExists(setup));
  lock->release();
  EXPECT_TRUE(eventually([&] { return !files::directoryExists(folder); }));
  EXPECT_FALSE(files::fileExists(setup));
}

// A folder that holds more than the setup program stays; only Setup.exe goes.
TEST(Shell, RemovalBatchLeavesAFolderThatIsNotEmpty) {
  TestMachine machine;
  const Str folder = machine.scratch() + u"OrvelDraw\\";
  writeTestFile(folder + u"Setup.exe", "MZ");
  writeTestFile(folder + u"styles\\classic.ods", "style");
  const Str batch = machine.scratch() + u"RunOrvel.bat";
  // A line after rmdir that deletes a marker tells when rmdir is over.
  std::vector<Str> lines = removalBatch(folder);
  lines.push_back(u"del \"" + machine.scratch() + u"marker.txt\"");
  writeTestFile(machine.scratch() + u"marker.txt", "m");
  ASSERT_TRUE(files::writeTextLines(batch, lines, sys::ansiCodePage()).ok());
  EXPECT_GT(shell::execute(nullptr, batch, u"", u"", shell::kSwHide), 32);
  ASSERT_TRUE(eventually([&] { return !files::fileExists(machine.scratch() + u"marker.txt"); }));
  EXPECT_FALSE(files::fileExists(folder + u"Setup.exe"));
  EXPECT_TRUE(files::fileExists(folder + u"styles\\classic.ods"));
  EXPECT_TRUE(files::directoryExists(folder));
}

TEST(Shell, RecycleAFolderWithEverythingInIt) {
  TestMachine machine;
  const Str styles = machine.scratch() + u"styles";
  writeTestFile(styles + u"\\classic.ods", "c");
  writeTestFile(styles + u"\\sub\\deep.ods", "d");
  writeTestFile(styles + u"\\hidden.ods", "h");
  ASSERT_TRUE(files::setAttributes(styles + u"\\hidden.ods", files::kHidden | files::kReadOnly).ok());
  EXPECT_EQ(shell::deleteToRecycleBin(styles, kRecycleQuietly), 0);
  EXPECT_FALSE(files::directoryExists(styles));
  // Nothing there: the operation fails.
  EXPECT_NE(shell::deleteToRecycleBin(styles, kRecycleQuietly), 0);
}

}  // namespace
}  // namespace orvel
