// The update branch of MakeUpdate with the application's command lines: a
// whole file update, the refreshing of Setup.exe, an empty destination, the
// markers that choose the kind of run, and update.txt.
#include <gtest/gtest.h>

#include "common/fmx_utils.h"
#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using test::ansiLines;
using test::readTestFile;
using test::UpdateTest;
using test::writeTestFile;

using UpdateProcedure = UpdateTest;

// The installation of version 2.1 and the files of the next version, one
// file per group so that the log's order does not depend on the listing.
void WriteInstallationAndUpdate(const Str& inst, const Str& src) {
  test::writeFiles(inst, {{u"OrvelDraw.exe", "exe 2.1"},
                          {u"Setup.exe", "setup 2.1"},
                          {u"languages\\english.ini", "en 2.1"},
                          {u"styles\\classic.ods", "classic 2.1"},
                          {u"img\\old.png", "old image"}});
  test::writeFiles(src, {{u"OrvelDraw.exe", "exe 2.2"},
                         {u"Setup.exe", "setup 2.2"},
                         {u"languages\\english.ini", "en 2.2"},
                         {u"styles\\classic.ods", "classic 2.2"},
                         {u"img\\logo.png", "logo 2.2"},
                         {u"img\\Thumbs.db", "cache"},
                         {u"templates\\letter.odt", "not part of an update"}});
  // The installed setup program is older than the new one.
  ASSERT_TRUE(files::setLastWriteTime(inst + u"Setup.exe", test::daysFromNow(inst + u"Setup.exe", -30)).ok());
}

// A file update logs its arguments and every step, copies the new files,
// keeps the old language file, and saves the log as update.txt.
TEST_F(UpdateProcedure, FileUpdateOfAnInstallation) {
  WriteInstallationAndUpdate(Inst(), Src());
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"2.1")), std::nullopt);
  const Str i = Inst();
  const Str s = Src();
  const std::vector<Str> expected = {
      u"Old Version: 2.1",
      u"Source     : " + s,
      u"Destination: " + i,
      u"",
      u"create directory: " + i + u"templates\\",
      u"Rename Languagefile: " + i + u"languages\\english.ini -> ",
      u"   " + i + u"languages\\english2.1.ini",
      u"Kopiere " + s + u"languages\\english.ini nach " + i + u"languages\\english.ini",
      u"Kopiere " + s + u"styles\\classic.ods nach " + i + u"styles\\classic.ods",
      u"Kopiere " + s + u"img\\logo.png nach " + i + u"img\\logo.png",
      u"Kopiere " + s + u"OrvelDraw.exe nach " + i + u"OrvelDraw.exe",
      u"Kopiere " + s + u"Setup.exe nach " + i + u"Setup.exe",
      i + u"update.txt",
  };
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(readTestFile(i + u"update.txt"), ansiLines(expected));
  EXPECT_TRUE(FUpdater->Restart);
  EXPECT_FALSE(FUpdater->Error);
  EXPECT_EQ(FUpdater->Version, u"2.1");
  EXPECT_EQ(readTestFile(i + u"OrvelDraw.exe"), "exe 2.2");
  EXPECT_EQ(readTestFile(i + u"Setup.exe"), "setup 2.2");
  EXPECT_EQ(readTestFile(i + u"languages\\english.ini"), "en 2.2");
  EXPECT_EQ(readTestFile(i + u"languages\\english2.1.ini"), "en 2.1");
  EXPECT_EQ(readTestFile(i + u"styles\\classic.ods"), "classic 2.2");
  EXPECT_EQ(readTestFile(i + u"img\\logo.png"), "logo 2.2");
  EXPECT_FALSE(files::fileExists(i + u"img\\Thumbs.db"));
  EXPECT_TRUE(files::directoryExists(i + u"templates"));
  EXPECT_FALSE(files::fileExists(i + u"templates\\letter.odt"));  // templates are the user's
}

// Setup.exe is copied only when the installation has none or an older one;
// with none on either side the copy fails.
TEST_F(UpdateProcedure, SetupProgramOnlyWhenNewer) {
  enum class Installed { Older, Same, Newer, Missing };
  struct Row {
    Installed installed;
    bool inSource;
    bool copied;
    bool error;
  };
  const Row rows[] = {
      {Installed::Older, true, true, false},     // 1
      {Installed::Same, true, false, false},     // 2
      {Installed::Newer, true, false, false},    // 3
      {Installed::Missing, true, true, false},   // 4
      {Installed::Newer, false, false, false},   // 5 nothing to compare: left alone
      {Installed::Missing, false, false, true},  // 6 neither has one
  };
  for (size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE("row " + std::to_string(r + 1));
    const Str inst = machine_.scratch() + u"row" + fromUtf8(std::to_string(r + 1)) + u"\\";
    const Str src = inst + u"source\\";
    test::writeFiles(src, {{u"OrvelDraw.exe", "exe"}, {u"Setup.exe", "new setup"}});
    if (!rows[r].inSource) {
      ASSERT_TRUE(files::deleteFile(src + u"Setup.exe").ok());
    }
    if (rows[r].installed != Installed::Missing) {
      writeTestFile(inst + u"Setup.exe", "installed setup");
      const uint64_t reference = files::lastWriteTime(src + u"OrvelDraw.exe").value();
      const int64_t day = 24LL * 3600 * 10'000'000;
      const uint64_t when = rows[r].installed == Installed::Older   ? reference - day
                            : rows[r].installed == Installed::Newer ? reference + day
                                                                    : reference;
      ASSERT_TRUE(files::setLastWriteTime(inst + u"Setup.exe", when).ok());
      if (rows[r].inSource) {
        ASSERT_TRUE(files::setLastWriteTime(src + u"Setup.exe", reference).ok());
      }
    }
    ASSERT_EQ(Run(UpdateArgs(inst, src, u"")), std::nullopt);
    const auto line = std::find(Log().begin(), Log().end(), u"Kopiere " + src + u"Setup.exe nach " + inst + u"Setup.exe");
    EXPECT_EQ(line != Log().end(), rows[r].copied);
    EXPECT_EQ(FUpdater->Error, rows[r].error);
    if (rows[r].copied) {
      EXPECT_EQ(readTestFile(inst + u"Setup.exe"), "new setup");
    }
    if (rows[r].error) {
      EXPECT_EQ(Log()[Log().size() - 3], u"Cannot copy " + src + u"Setup.exe");
      EXPECT_EQ(Log()[Log().size() - 2], u"  to: " + inst + u"Setup.exe");
    }
    EXPECT_EQ(Log().back(), inst + u"update.txt");
  }
}

// An empty destination: the header only, no folder, no copy, no update.txt;
// the application is still to be restarted.
TEST_F(UpdateProcedure, EmptyDestinationCopiesNothing) {
  WriteInstallationAndUpdate(Inst(), Src());
  ASSERT_EQ(Run(UpdateArgs(u"", Src(), u"")), std::nullopt);
  EXPECT_EQ(Log(), (std::vector<Str>{u"Source     : " + Src(), u"Destination: ", u""}));
  EXPECT_TRUE(FUpdater->Restart);
  EXPECT_FALSE(FUpdater->Error);
  EXPECT_EQ(readTestFile(Inst() + u"OrvelDraw.exe"), "exe 2.1");
}

// The markers are plain, case-sensitive substrings of argument 3;
// "kxregistry" is looked for first. Only a file update restarts the application.
TEST_F(UpdateProcedure, MarkersChooseTheKindOfRun) {
  const Str command = u"\\SOFTWARE\\Classes\\OrvelDraw\\Shell\\Open\\command";
  enum class Kind { Files, Associations, OpenCommand };
  struct Row {
    Str source;
    Kind kind;
  };
  const Row rows[] = {
      {u"C:\\Temp\\registryupdate\\", Kind::Associations},  // 1 anywhere in the text
      {u"registry", Kind::Associations},                     // 2
      {u"xkxregistryx", Kind::OpenCommand},                  // 3 contains both
      {u"C:\\Temp\\REGISTRY\\", Kind::Files},                // 4 letter case counts
      {u"C:\\Temp\\kxRegistry\\", Kind::Files},              // 5
  };
  for (size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE("row " + std::to_string(r + 1));
    test::TestMachine fresh;
    const Str dest = rows[r].kind == Kind::Files ? fresh.scratch() : fresh.scratch() + u"OrvelDraw.exe";
    const Str fourth = rows[r].kind == Kind::OpenCommand ? u"&quot;C:\\x.exe&quot;" : u"";
    ASSERT_EQ(Run(UpdateArgs(dest, rows[r].source, fourth)), std::nullopt);
    EXPECT_EQ(FUpdater->Restart, rows[r].kind == Kind::Files);
    EXPECT_EQ(test::registryString(reg::Root::CurrentUser, u"SOFTWARE\\Classes\\OrvelDraw").has_value(),
              rows[r].kind == Kind::Associations);
    EXPECT_EQ(test::registryString(reg::Root::LocalMachine, command.substr(1)),
              rows[r].kind == Kind::OpenCommand ? std::optional<Str>(u"\"C:\\x.exe\"")
              : rows[r].kind == Kind::Associations ? std::optional<Str>(QuoteIfSpaces(dest))
                                                   : std::nullopt);
    // Every kind saves the log beside the installation.
    EXPECT_EQ(Log().back(), fresh.scratch() + u"update.txt");
    EXPECT_TRUE(files::fileExists(fresh.scratch() + u"update.txt"));
  }
}

// Arguments 2 to 4 lose their surrounding quotes; "Old Version: " shows
// argument 4 in every kind of run.
TEST_F(UpdateProcedure, QuotedArgumentsAndTheOldVersionLine) {
  const Str dest = Inst() + u"OrvelDraw.exe";
  ASSERT_EQ(Run(UpdateArgs(u"\"" + dest + u"\"", u"\"registry\"", u"\".od True \"")), std::nullopt);
  EXPECT_EQ(std::vector<Str>(Log().begin(), Log().begin() + 4),
            (std::vector<Str>{u"Old Version: .od True ", u"Source     : registry", u"Destination: " + dest, u""}));
  EXPECT_EQ(FUpdater->Dest, dest);
  EXPECT_EQ(FUpdater->Source, u"registry");
}

// A log that cannot be saved says so in the log; Error stays as it was.
TEST_F(UpdateProcedure, UpdateTxtThatCannotBeWrittenIsLogged) {
  test::writeFiles(Src(), {{u"OrvelDraw.exe", "exe"}, {u"Setup.exe", "setup"}});
  ASSERT_TRUE(files::forceDirectories(Inst() + u"update.txt").ok());  // a folder in its place
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"")), std::nullopt);
  const Str path = Inst() + u"update.txt";
  ASSERT_GE(Log().size(), 2u);
  EXPECT_EQ(Log()[Log().size() - 2], path);
  const Str start = u"Datei \"" + path + u"\" kann nicht erstellt werden. ";
  EXPECT_EQ(Log().back().substr(0, start.size()), start);
  EXPECT_GT(Log().back().size(), start.size());
  EXPECT_FALSE(FUpdater->Error);
}

// A second run appends to the log, and update.txt then holds both runs.
TEST_F(UpdateProcedure, SecondRunAppends) {
  WriteInstallationAndUpdate(Inst(), Src());
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"2.1")), std::nullopt);
  const std::vector<Str> first = Log();
  ASSERT_EQ(Run(UpdateArgs(Inst(), Src(), u"2.1")), std::nullopt);
  ASSERT_GT(Log().size(), first.size());
  EXPECT_EQ(std::vector<Str>(Log().begin(), Log().begin() + first.size()), first);
  EXPECT_EQ(Log()[first.size()], u"Old Version: 2.1");
  EXPECT_EQ(readTestFile(Inst() + u"update.txt"), ansiLines(Log()));
}

TEST(UpdateLogPath, FolderPartOfTheDestination) {
  struct Row {
    Str dest, path;
  };
  const Row rows[] = {
      {u"C:\\Orvel\\", u"C:\\Orvel\\update.txt"},                // 1
      {u"C:\\Orvel\\OrvelDraw.exe", u"C:\\Orvel\\update.txt"},   // 2
      {u"C:OrvelDraw.exe", u"C:\\update.txt"},                   // 3 up to the colon
      {u"\\\\srv\\share\\", u"\\\\srv\\share\\update.txt"},      // 4
      {u"OrvelDraw.exe", u"\\update.txt"},                       // 5 no folder part
  };
  for (size_t r = 0; r < std::size(rows); ++r) EXPECT_EQ(UpdateLogPath(rows[r].dest), rows[r].path) << "row " << r + 1;
}

}  // namespace
}  // namespace orvel
