// RunOrvel.bat, the batch file that deletes the setup program after it has
// ended: its bytes for plain folders, folders with blanks, with characters
// the command interpreter treats specially and with letters outside ASCII,
// and what it does when the log window's button starts it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "common/fmx_utils.h"
#include "gui/script/scripted_gui.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using test::InstallerCase;
using test::TestMachine;

Str batchFile() { return TempDirectory() + u"RunOrvel.bat"; }

std::string oem(const Str& text) { return sys::encode(text, sys::oemCodePage()); }

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

TEST(SelfRemoval, BatchFileHasItsFiveLinesWithPathsTheInterpreterReadsWhole) {
  struct Row {
    const char16_t* folder;
    const char16_t* setup;   // the setup program's path as written
    const char16_t* rmdir;   // the folder as written
  };
  const Row rows[] = {
      {u"C:\\OrvelDraw\\", u"C:\\OrvelDraw\\Setup.exe", u"C:\\OrvelDraw\\"},                                  // 1
      {u"C:\\Program Files\\OrvelDraw\\", u"\"C:\\Program Files\\OrvelDraw\\Setup.exe\"",
       u"\"C:\\Program Files\\OrvelDraw\\\""},                                                                // 2
      {u"C:\\R&D\\OrvelDraw\\", u"\"C:\\R&D\\OrvelDraw\\Setup.exe\"", u"\"C:\\R&D\\OrvelDraw\\\""},           // 3
      {u"C:\\100%\\", u"\"C:\\100%%\\Setup.exe\"", u"\"C:\\100%%\\\""},                                       // 4
      {u"C:\\a|b<c>d^e\\", u"\"C:\\a|b<c>d^e\\Setup.exe\"", u"\"C:\\a|b<c>d^e\\\""},                          // 5
      {u"C:\\x(86)\\", u"\"C:\\x(86)\\Setup.exe\"", u"\"C:\\x(86)\\\""},                                      // 6
      {u"C:\\a,b;c=d\\", u"\"C:\\a,b;c=d\\Setup.exe\"", u"\"C:\\a,b;c=d\\\""},                                 // 7
      {u"\\\\srv\\share\\Orvel\\", u"\\\\srv\\share\\Orvel\\Setup.exe", u"\\\\srv\\share\\Orvel\\"},          // 8
      {u"C:\\Programme\\Zubehör\\", u"C:\\Programme\\Zubehör\\Setup.exe", u"C:\\Programme\\Zubehör\\"},        // 9
  };
  TestMachine machine;
  test::ScriptedWindows w;
  test::writeTestFile(batchFile(), std::string(1000, 'x'));  // an older file is replaced
  for (size_t i = 0; i < std::size(rows); ++i) {
    FSetup->NachDir = rows[i].folder;
    FSetup->SetupLoeschen();
    EXPECT_EQ(test::readTestFile(batchFile()), "echo on\r\n:1\r\ndel " + oem(rows[i].setup) + "\r\nif exist " +
                                                   oem(rows[i].setup) + " goto 1\r\nrmdir " + oem(rows[i].rmdir) +
                                                   "\r\n")
        << "row " << i + 1;
  }
}

// The interpreter reads the file in the OEM code page: "ö" is 0x94 there
// (850 and 437), not the ANSI 0xF6.
TEST(SelfRemoval, EmulatedOnly_BatchFileIsWrittenInTheOemCodePage) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "sets the machine's code pages";
  TestMachine machine(test::MachineIni{{"Machine.AnsiCodePage", "1252"}, {"Machine.OemCodePage", "850"}});
  test::ScriptedWindows w;
  FSetup->NachDir = u"C:\\Zubehör\\";
  FSetup->SetupLoeschen();
  EXPECT_EQ(test::readTestFile(batchFile()),
            "echo on\r\n:1\r\ndel C:\\Zubeh\x94r\\Setup.exe\r\nif exist C:\\Zubeh\x94r\\Setup.exe goto 1\r\n"
            "rmdir C:\\Zubeh\x94r\\\r\n");
}

// The uninstallation writes the batch file last; when it cannot, the error
// reaches the user and the removals before it stay done.
TEST(SelfRemoval, BatchFileThatCannotBeWrittenIsReportedAfterTheRemovals) {
  InstallerCase c;
  (void)files::deleteFile(batchFile());
  ASSERT_TRUE(files::forceDirectories(batchFile() + u"\\").ok());
  const std::vector<std::string> shown = c.uninstall();
  (void)files::removeDirectory(batchFile());
  ASSERT_EQ(shown.size(), 2u);
  const std::string start =
      "msgbox error \"Setup\" " + gui::quoteForTranscript(u"Datei \"" + batchFile() + u"\" kann nicht erstellt werden. ");
  EXPECT_EQ(shown[1].substr(0, start.size() - 1), start.substr(0, start.size() - 1));
  EXPECT_EQ(c.logLines().back(), u"Lösche Registry-Einträge");
  EXPECT_FALSE(test::exists(c.dist() + u"OrvelDraw.exe"));
}

// Started by the log window's button after an uninstallation, the batch file
// deletes Setup.exe and then the folder, when nothing else is left in it;
// characters the interpreter treats specially neither split the command nor
// let it touch anything else.
TEST(SelfRemoval, StartedItDeletesTheSetupProgramAndItsEmptyFolder) {
  const char16_t* folders[] = {u"Setup Ordner", u"R&D", u"50%", u"a(b)^c", u"Zubehör"};
  for (const char16_t* name : folders) {
    SCOPED_TRACE(toUtf8(name));
    TestMachine machine;
    test::ScriptedWindows w;
    const Str folder = machine.scratch() + name + u"\\";
    test::writeTestFile(folder + u"Setup.exe", "the setup program");
    // What a split command line would delete instead.
    test::writeTestFile(machine.scratch() + u"R", "a decoy");
    test::writeTestFile(machine.scratch() + u"D\\Setup.exe", "a decoy");
    test::writeTestFile(machine.scratch() + u"50\\Setup.exe", "a decoy");
    FSetup->NachDir = folder;
    FSetup->SetupLoeschen();
    FSetup->show();
    FMemo->Installation = 1;
    FMemo->show();
    w.act("click FMemo.BClose");
    EXPECT_TRUE(w.app().terminated());
    EXPECT_TRUE(waitUntil([&] { return !test::folderExists(folder); })) << "the folder is still there";
    EXPECT_FALSE(test::exists(folder + u"Setup.exe"));
    EXPECT_TRUE(test::exists(machine.scratch() + u"R"));
    EXPECT_TRUE(test::exists(machine.scratch() + u"D\\Setup.exe"));
    EXPECT_TRUE(test::exists(machine.scratch() + u"50\\Setup.exe"));
  }
}

// A folder that still holds anything keeps it: only Setup.exe goes. While
// the setup program cannot be deleted, the batch file keeps trying.
TEST(SelfRemoval, ItWaitsForTheSetupProgramAndKeepsAFolderThatIsNotEmpty) {
  TestMachine machine;
  test::ScriptedWindows w;
  const Str folder = machine.scratch() + u"OrvelDraw\\";
  test::writeTestFile(folder + u"Setup.exe", "the setup program");
  test::writeTestFile(folder + u"Data\\ODUser.ini", "settings");
  auto running = files::ExclusiveLock::acquire(folder + u"Setup.exe");
  ASSERT_TRUE(running.has_value());
  FSetup->NachDir = folder;
  FSetup->SetupLoeschen();
  FSetup->show();
  FMemo->Installation = 1;
  FMemo->show();
  w.act("click FMemo.BClose");
  ASSERT_TRUE(w.app().terminated());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(test::exists(folder + u"Setup.exe"));
  running->release();
  EXPECT_TRUE(waitUntil([&] { return !test::exists(folder + u"Setup.exe"); })) << "Setup.exe is still there";
  // The removal of the folder is the last thing the batch file tries.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(test::folderExists(folder));
  EXPECT_TRUE(test::exists(folder + u"Data\\ODUser.ini"));
}

}  // namespace
}  // namespace orvel
