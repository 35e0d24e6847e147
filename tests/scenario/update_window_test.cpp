// The updater window after a file update with a failed copy: it shows the
// whole log, Retry runs the update again below it, OK starts the
// application and ends the program.
#include <gtest/gtest.h>

#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using test::ansiLines;
using test::readTestFile;
using test::UpdateTest;

using UpdateWindow = UpdateTest;

size_t Count(const std::vector<Str>& lines, const Str& line) { return std::count(lines.begin(), lines.end(), line); }

// A locked OrvelDraw.exe fails the update; after the lock is gone Retry
// succeeds, and OK starts the new application from the installation.
TEST_F(UpdateWindow, RetryAfterTheLockIsGoneThenOk) {
  const std::string application = test::standInApplication();
  test::writeFiles(Src(), {{u"OrvelDraw.exe", application}, {u"Setup.exe", "setup"}});
  test::writeFiles(Inst(), {{u"OrvelDraw.exe", "the old application"}});
  auto lock = files::ExclusiveLock::acquire(Inst() + u"OrvelDraw.exe");
  ASSERT_TRUE(lock);
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"2.1")), std::nullopt);
  ASSERT_TRUE(FUpdater->Restart);
  ASSERT_TRUE(FUpdater->Error);
  const std::vector<Str> failed = {
      u"\"" + Inst() + u"OrvelDraw.exe\" kann nicht gelöscht werden.",
      u"Cannot copy " + Src() + u"OrvelDraw.exe",
      u"  to: " + Inst() + u"OrvelDraw.exe",
  };
  EXPECT_EQ(std::search(Log().begin(), Log().end(), failed.begin(), failed.end()) != Log().end(), true);

  // What the program does after such a run: the window with the whole log.
  w().take();
  FUpdater->show();
  w().act("dump FUpdater");
  const std::vector<std::string> shown = w().take();
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown[0], "show FUpdater \"Orvel-Draw-Updater\"");
  EXPECT_EQ(shown[1], "FUpdater form caption=\"Orvel-Draw-Updater\" visible=1");
  Str joined;
  for (size_t i = 0; i < Log().size(); ++i) joined += (i ? u"\n" : u"") + Log()[i];
  EXPECT_EQ(shown[2], "FUpdater.Memo memo enabled=1 lines=" + gui::quoteForTranscript(joined));
  EXPECT_EQ(Log().back(), Inst() + u"update.txt");

  lock->release();
  const size_t firstRun = Log().size();
  w().act("click FUpdater.BRetry");
  EXPECT_FALSE(FUpdater->Error);
  EXPECT_TRUE(FUpdater->visible());  // stays open whatever the result
  EXPECT_EQ(Count(Log(), u"Source     : " + Src()), 2u);
  EXPECT_EQ(Count(Log(), u"Kopiere " + Src() + u"OrvelDraw.exe nach " + Inst() + u"OrvelDraw.exe"), 1u);
  EXPECT_GT(Log().size(), firstRun);
  EXPECT_EQ(readTestFile(Inst() + u"update.txt"), ansiLines(Log()));  // both runs
  EXPECT_EQ(readTestFile(Inst() + u"OrvelDraw.exe"), application);

  w().take();
  w().act("click FUpdater.BOK");
  EXPECT_EQ(w().take(), (std::vector<std::string>{"close FUpdater", "hide FUpdater", "close FSetup"}));
  EXPECT_TRUE(w().app().terminated());
  if (test::TestMachine::emulated()) {
    EXPECT_EQ(machine_.shellLog(), std::vector<std::string>{"execute\t" + toUtf8(Inst()) + "OrvelDraw.exe\t\t" +
                                                            toUtf8(Inst()) + "\t1"});
  }
}

// A Retry that fails again sets Error again and keeps the window; the log grows.
TEST_F(UpdateWindow, RetryThatFailsAgain) {
  test::writeFiles(Inst(), {{u"OrvelDraw.exe", "old"}});
  test::writeFiles(Src(), {{u"Setup.exe", "setup"}});  // no OrvelDraw.exe in the update
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"")), std::nullopt);
  ASSERT_TRUE(FUpdater->Error);
  FUpdater->show();
  const size_t firstRun = Log().size();
  w().act("click FUpdater.BRetry");
  EXPECT_TRUE(FUpdater->Error);
  EXPECT_TRUE(FUpdater->visible());
  EXPECT_GT(Log().size(), firstRun);
  EXPECT_EQ(Count(Log(), u"Cannot copy " + Src() + u"OrvelDraw.exe"), 2u);
  EXPECT_EQ(readTestFile(Inst() + u"OrvelDraw.exe"), "old");  // never deleted for a missing source
  EXPECT_FALSE(w().app().terminated());
}

// OK after an update with an empty destination starts "OrvelDraw.exe" with
// no working folder, without the window ever being shown.
TEST_F(UpdateWindow, EmulatedOnly_OkWithEmptyDestination) {
  if (!test::TestMachine::emulated()) GTEST_SKIP() << "reads the emulated machine's shell log";
  ASSERT_EQ(Run(UpdateArgs(u"", u"", u"")), std::nullopt);
  ASSERT_TRUE(FUpdater->Restart);
  ASSERT_FALSE(FUpdater->Error);
  w().take();
  FUpdater->BOKClick(nullptr);
  EXPECT_EQ(w().take(), (std::vector<std::string>{"close FUpdater", "close FSetup"}));
  EXPECT_TRUE(w().app().terminated());
  EXPECT_EQ(machine_.shellLog(), std::vector<std::string>{"execute\tOrvelDraw.exe\t\t\t1"});
}

}  // namespace
}  // namespace orvel
