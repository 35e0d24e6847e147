// The log window: its initial log, appending and saving the installation
// log, and its close button that finishes the run.
#include <gtest/gtest.h>

#include "common/error.h"
#include "common/fmx_utils.h"
#include "platform/system.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::ScriptedWindows;
using test::TestMachine;

TEST(LogWindow, StartsHiddenWithItsTwoLinesAndNothingToStart) {
  TestMachine machine;
  ScriptedWindows w;
  EXPECT_EQ(FMemo->Installation, 2);
  w.act("dump FMemo");
  EXPECT_EQ(w.take(), (std::vector<std::string>{
                          "FMemo form caption=\"Installation\" visible=0",
                          "FMemo.MInstallation memo enabled=1 lines=\"Orvel-Draw Installation\\n\"",
                          "FMemo.BClose button caption=\"Schließen\" hint=\"\" enabled=1",
                      }));
}

TEST(LogWindow, GibAusAppendsWholeLines) {
  TestMachine machine;
  ScriptedWindows w;
  FMemo->GibAus(u"Kopiere a nach b");
  FMemo->GibAus(u"");
  FMemo->GibAus(u"Erzeuge C:\\x\\");
  EXPECT_EQ(FMemo->MInstallation->lines(),
            (std::vector<Str>{u"Orvel-Draw Installation", u"", u"Kopiere a nach b", u"", u"Erzeuge C:\\x\\"}));
}

// The saved log holds every line, the two initial ones and the user's typing
// too, as ANSI text with CR LF after each line, and replaces an older file.
TEST(LogWindow, SavedLogIsAnsiTextWithCrLf) {
  TestMachine machine;
  ScriptedWindows w;
  const Str path = machine.scratch() + u"install.txt";
  test::writeTestFile(path, "an older, longer log that must go away\r\n");
  FMemo->show();
  FMemo->GibAus(u"Lösche C:\\Programme\\OrvelDraw\\");
  const std::string line = sys::encode(u"Lösche C:\\Programme\\OrvelDraw\\", sys::ansiCodePage());
  if (sys::ansiCodePage() == 1252) {
    EXPECT_EQ(line.substr(0, 6), "L\xF6sche");
  }
  FMemo->SaveLog(path);
  EXPECT_EQ(test::readTestFile(path), "Orvel-Draw Installation\r\n\r\n" + line + "\r\n");

  w.act("set FMemo.MInstallation vom Benutzer getippt");
  FMemo->GibAus(u"");
  FMemo->SaveLog(path);
  EXPECT_EQ(test::readTestFile(path), "vom Benutzer getippt\r\n\r\n");
}

TEST(LogWindow, SaveLogIntoAMissingFolderRaisesTheFrameworkError) {
  TestMachine machine;
  ScriptedWindows w;
  const Str path = machine.scratch() + u"missing\\install.txt";
  try {
    FMemo->SaveLog(path);
    FAIL() << "no error";
  } catch (const Error& e) {
    const Str start = u"Datei \"" + path + u"\" kann nicht erstellt werden. ";
    EXPECT_EQ(e.message().substr(0, start.size()), start);
    EXPECT_GT(e.message().size(), start.size());  // the system's reason follows
  }
}

// Closing the log window through its caption bar only hides it; the setup
// window stays and the next run shows the log with its lines.
TEST(LogWindow, CaptionBarCloseOnlyHides) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  FMemo->show();
  FMemo->GibAus(u"Zeile");
  w.take();
  w.act("close FMemo");
  EXPECT_EQ(w.take(), (std::vector<std::string>{"close FMemo", "hide FMemo"}));
  EXPECT_FALSE(w.app().terminated());
  EXPECT_TRUE(FSetup->visible());
  FMemo->show();
  EXPECT_EQ(FMemo->MInstallation->lines().back(), u"Zeile");
  EXPECT_TRUE(machine.shellLog().empty());
}

TEST(LogWindow, CloseButtonEndsTheProgramWhateverItStarts) {
  for (int marker : {0, 1, 2}) {
    SCOPED_TRACE(marker);
    TestMachine machine;
    ScriptedWindows w;
    FSetup->show();
    FSetup->NachDir = machine.scratch();
    FMemo->show();
    FMemo->Installation = marker;
    w.take();
    w.act("click FMemo.BClose");
    EXPECT_EQ(w.take(), std::vector<std::string>{"close FSetup"});
    EXPECT_TRUE(w.app().terminated());
    EXPECT_EQ(FMemo->Installation, marker);
  }
}

// 0 starts the installed application in a normal window, 1 the removal batch
// file from the temporary folder without a window, 2 nothing.
TEST(LogWindow, EmulatedOnly_CloseButtonStartsWhatTheMarkerSays) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "reads the emulated machine's shell log";
  struct Case {
    int marker;
    std::vector<std::string> started;
  };
  const Case cases[] = {
      {0, {"execute\tC:\\Orvel\\OrvelDraw.exe\t\t\t1"}},
      {1, {"execute\t%TEMP%RunOrvel.bat\t\t\t0"}},
      {2, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.marker);
    TestMachine machine;
    ScriptedWindows w;
    FSetup->NachDir = u"C:\\Orvel\\";
    if (c.marker == 1) FSetup->SetupLoeschen();
    FMemo->Installation = c.marker;
    FMemo->show();
    w.act("click FMemo.BClose");
    std::vector<std::string> expected = c.started;
    for (std::string& line : expected)
      if (auto at = line.find("%TEMP%"); at != std::string::npos) line.replace(at, 6, toUtf8(TempDirectory()));
    EXPECT_EQ(machine.shellLog(), expected);
  }
}

// The program may run elevated, and RunOrvel.bat lies where every process of
// the user may write: it is started only while it holds exactly what the
// uninstallation wrote, and a file put there before is replaced.
TEST(LogWindow, EmulatedOnly_RemovalBatchIsStartedOnlyAsItWasWritten) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "reads the emulated machine's shell log";
  enum class Meddling { None, NeverWritten, Replaced, Appended };
  for (Meddling meddling : {Meddling::None, Meddling::NeverWritten, Meddling::Replaced, Meddling::Appended}) {
    SCOPED_TRACE(static_cast<int>(meddling));
    TestMachine machine;
    ScriptedWindows w;
    const Str batch = TempDirectory() + u"RunOrvel.bat";
    if (meddling == Meddling::NeverWritten) {
      test::writeTestFile(batch, "echo from another process\r\n");
    } else {
      // A file put there before is replaced, not written through.
      test::writeTestFile(batch, "echo planted before\r\n");
      FSetup->NachDir = u"C:\\Orvel\\";
      FSetup->SetupLoeschen();
      EXPECT_EQ(test::readTestFile(batch).substr(0, 7), "echo on");
    }
    if (meddling == Meddling::Replaced) test::writeTestFile(batch, "echo from another process\r\n");
    if (meddling == Meddling::Appended) test::writeTestFile(batch, test::readTestFile(batch) + "del C:\\x\r\n");
    FMemo->Installation = 1;
    FMemo->show();
    w.act("click FMemo.BClose");
    EXPECT_TRUE(w.app().terminated());
    EXPECT_EQ(machine.shellLog().size(), meddling == Meddling::None ? 1u : 0u);
  }
}

}  // namespace
}  // namespace orvel
