// The updater's file operations one by one: what each does on disk, the log
// lines it writes and when it sets Error.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using test::readTestFile;
using test::UpdateTest;
using test::writeTestFile;

using FileOperations = UpdateTest;

std::vector<Str> Sorted(std::vector<Str> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A missing target is copied with one "Kopiere" line.
TEST_F(FileOperations, CopyIntoAnEmptyPlace) {
  writeTestFile(Src() + u"a.txt", "new");
  (void)files::forceDirectories(Inst());
  FUpdater->CopyFromTo(Src() + u"a.txt", Inst() + u"a.txt");
  EXPECT_EQ(Log(), std::vector<Str>{u"Kopiere " + Src() + u"a.txt nach " + Inst() + u"a.txt"});
  EXPECT_EQ(readTestFile(Inst() + u"a.txt"), "new");
  EXPECT_FALSE(FUpdater->Error);
}

// A read-only target is replaced: attribute cleared, file deleted, copy made.
TEST_F(FileOperations, ReadOnlyTargetIsReplaced) {
  writeTestFile(Src() + u"a.txt", "new");
  writeTestFile(Inst() + u"a.txt", "old");
  ASSERT_TRUE(files::setAttributes(Inst() + u"a.txt", files::kReadOnly).ok());
  FUpdater->CopyFromTo(Src() + u"a.txt", Inst() + u"a.txt");
  EXPECT_EQ(Log(), std::vector<Str>{u"Kopiere " + Src() + u"a.txt nach " + Inst() + u"a.txt"});
  EXPECT_EQ(readTestFile(Inst() + u"a.txt"), "new");
  EXPECT_FALSE(FUpdater->Error);
}

// A target that another program holds open: three lines, Error set, the old file stays.
TEST_F(FileOperations, LockedTargetFailsWithThreeLines) {
  writeTestFile(Src() + u"a.txt", "new");
  writeTestFile(Inst() + u"a.txt", "old");
  auto lock = files::ExclusiveLock::acquire(Inst() + u"a.txt");
  ASSERT_TRUE(lock);
  FUpdater->CopyFromTo(Src() + u"a.txt", Inst() + u"a.txt");
  EXPECT_EQ(Log(), (std::vector<Str>{
                       u"\"" + Inst() + u"a.txt\" kann nicht gelöscht werden.",
                       u"Cannot copy " + Src() + u"a.txt",
                       u"  to: " + Inst() + u"a.txt",
                   }));
  EXPECT_TRUE(FUpdater->Error);
  lock->release();
  EXPECT_EQ(readTestFile(Inst() + u"a.txt"), "old");
}

// Failed copies: two lines and Error; an installed file whose source is
// missing is kept rather than deleted for nothing.
TEST_F(FileOperations, FailedCopiesKeepTheInstalledFile) {
  writeTestFile(Inst() + u"kept.exe", "the installed program");
  writeTestFile(Src() + u"a.txt", "new");
  (void)files::forceDirectories(Src() + u"folder");
  struct Row {
    Str from, to;
  };
  const Row rows[] = {
      {Src() + u"missing.exe", Inst() + u"kept.exe"},       // 1 source missing, target exists
      {Src() + u"a.txt", Inst() + u"no folder\\a.txt"},     // 2 target folder missing
      {Src() + u"folder", Inst() + u"folder"},              // 3 a folder is no file
      {Src() + u"missing.exe", Inst() + u"missing.exe"},    // 4 neither exists
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    FUpdater->Error = false;
    const size_t before = Log().size();
    FUpdater->CopyFromTo(rows[i].from, rows[i].to);
    EXPECT_EQ(std::vector<Str>(Log().begin() + before, Log().end()),
              (std::vector<Str>{u"Cannot copy " + rows[i].from, u"  to: " + rows[i].to}));
    EXPECT_TRUE(FUpdater->Error);
  }
  EXPECT_EQ(readTestFile(Inst() + u"kept.exe"), "the installed program");
}

// A rename logs two lines; a taken target or a missing file logs nothing and leaves Error.
TEST_F(FileOperations, RenameFromTo) {
  writeTestFile(Inst() + u"english.ini", "old");
  writeTestFile(Inst() + u"dutch.ini", "old nl");
  writeTestFile(Inst() + u"dutch2.1.ini", "older nl");
  FUpdater->RenameFromTo(Inst() + u"english.ini", Inst() + u"english2.1.ini");
  EXPECT_EQ(Log(), (std::vector<Str>{u"Rename Languagefile: " + Inst() + u"english.ini -> ",
                                     u"   " + Inst() + u"english2.1.ini"}));
  FUpdater->RenameFromTo(Inst() + u"dutch.ini", Inst() + u"dutch2.1.ini");
  FUpdater->RenameFromTo(Inst() + u"none.ini", Inst() + u"none2.1.ini");
  EXPECT_EQ(Log().size(), 2u);
  EXPECT_FALSE(FUpdater->Error);
  EXPECT_EQ(readTestFile(Inst() + u"english2.1.ini"), "old");
  EXPECT_EQ(readTestFile(Inst() + u"dutch2.1.ini"), "older nl");
  EXPECT_TRUE(files::fileExists(Inst() + u"dutch.ini"));
}

// A missing folder is made with its parents and one line; an existing one logs nothing.
TEST_F(FileOperations, CreateDirectories) {
  const Str deep = Inst() + u"a\\b\\c\\";
  FUpdater->CreateDirectories(deep);
  FUpdater->CreateDirectories(deep);
  FUpdater->CreateDirectories(machine_.scratch());
  EXPECT_EQ(Log(), std::vector<Str>{u"create directory: " + deep});
  EXPECT_TRUE(files::directoryExists(deep));
}

// Plain files of img\ are copied, read-only ones too; "Thumbs.db" (exactly),
// hidden and system files and folders are not.
TEST_F(FileOperations, CopyImagesTakesThePlainFiles) {
  writeTestFile(Src() + u"img\\logo.png", "logo");
  writeTestFile(Src() + u"img\\locked.png", "read-only");
  writeTestFile(Src() + u"img\\Thumbs.db", "cache");
  writeTestFile(Src() + u"img\\hidden.png", "hidden");
  writeTestFile(Src() + u"img\\system.png", "system");
  writeTestFile(Src() + u"img\\sub\\deep.png", "deep");
  ASSERT_TRUE(files::setAttributes(Src() + u"img\\locked.png", files::kReadOnly).ok());
  ASSERT_TRUE(files::setAttributes(Src() + u"img\\hidden.png", files::kHidden).ok());
  ASSERT_TRUE(files::setAttributes(Src() + u"img\\system.png", files::kSystem).ok());
  (void)files::forceDirectories(Inst() + u"img");
  FUpdater->CopyImages(Src(), Inst());
  const auto copied = [&](const Str& from, const Str& name) {
    return u"Kopiere " + from + u"img\\" + name + u" nach " + Inst() + u"img\\" + name;
  };
  EXPECT_EQ(Sorted(Log()), Sorted({copied(Src(), u"logo.png"), copied(Src(), u"locked.png")}));
  EXPECT_FALSE(files::fileExists(Inst() + u"img\\Thumbs.db"));
  EXPECT_FALSE(files::fileExists(Inst() + u"img\\hidden.png"));
  EXPECT_FALSE(files::fileExists(Inst() + u"img\\system.png"));
  EXPECT_FALSE(files::directoryExists(Inst() + u"img\\sub"));
  EXPECT_FALSE(FUpdater->Error);

  // The name is compared with its letter case: thumbs.db is an image like any other.
  const Str other = machine_.scratch() + u"Andere\\";
  writeTestFile(other + u"img\\thumbs.db", "lower case");
  FUpdater->CopyImages(other, Inst());
  EXPECT_EQ(Log().back(), copied(other, u"thumbs.db"));
}

// Without img\ in the installation each image copy fails; without img\ in
// the source nothing happens.
TEST_F(FileOperations, CopyImagesWithMissingFolders) {
  FUpdater->CopyImages(Src(), Inst());
  EXPECT_TRUE(Log().empty());
  writeTestFile(Src() + u"img\\logo.png", "logo");
  FUpdater->CopyImages(Src(), Inst());
  EXPECT_EQ(Log(), (std::vector<Str>{u"Cannot copy " + Src() + u"img\\logo.png",
                                     u"  to: " + Inst() + u"img\\logo.png"}));
  EXPECT_TRUE(FUpdater->Error);
}

// Each old language file is kept under the old version's name before the
// new one is copied; a versioned name that exists already stays as it is.
TEST_F(FileOperations, CopyIniFilesKeepsTheOldVersions) {
  const Str from = Src() + u"languages\\";
  const Str to = Inst() + u"languages\\";
  test::writeFiles(Src(), {{u"languages\\english.ini", "en 2.2"},
                           {u"languages\\dutch.ini", "nl 2.2"},
                           {u"languages\\espanol.ini", "es 2.2"},
                           {u"languages\\readme.txt", "no language file"}});
  test::writeFiles(Inst(), {{u"languages\\english.ini", "en 2.1"},
                            {u"languages\\dutch.ini", "nl 2.1 second run"},
                            {u"languages\\dutch2.1.ini", "nl 2.1"}});
  FUpdater->Version = u"2.1";
  FUpdater->CopyIniFiles();
  const auto copy = [&](const Str& name) { return u"Kopiere " + from + name + u" nach " + to + name; };
  EXPECT_EQ(Sorted(Log()), Sorted({
                               u"Rename Languagefile: " + to + u"english.ini -> ",
                               u"   " + to + u"english2.1.ini",
                               copy(u"english.ini"),
                               copy(u"dutch.ini"),     // dutch2.1.ini exists: no rename
                               copy(u"espanol.ini"),  // new: nothing to keep
                           }));
  // The rename comes right before the copy of the same file.
  const auto rename = std::find(Log().begin(), Log().end(), u"   " + to + u"english2.1.ini");
  ASSERT_NE(rename, Log().end());
  EXPECT_EQ(*(rename + 1), copy(u"english.ini"));
  EXPECT_EQ(readTestFile(to + u"english2.1.ini"), "en 2.1");
  EXPECT_EQ(readTestFile(to + u"dutch2.1.ini"), "nl 2.1");
  EXPECT_EQ(readTestFile(to + u"english.ini"), "en 2.2");
  EXPECT_EQ(readTestFile(to + u"dutch.ini"), "nl 2.2");
  EXPECT_FALSE(files::fileExists(to + u"readme.txt"));
  EXPECT_FALSE(FUpdater->Error);
}

// A source that is there but cannot be read (held by another process) must
// not cost the installed file: it stays, and the copy fails as for a missing source.
TEST_F(FileOperations, UnreadableSourceKeepsTheInstalledFile) {
  writeTestFile(Src() + u"OrvelDraw.exe", "new");
  writeTestFile(Inst() + u"OrvelDraw.exe", "installed");
  auto held = files::ExclusiveLock::acquire(Src() + u"OrvelDraw.exe");
  ASSERT_TRUE(held);
  FUpdater->CopyFromTo(Src() + u"OrvelDraw.exe", Inst() + u"OrvelDraw.exe");
  held->release();
  EXPECT_EQ(Log(), (std::vector<Str>{u"Cannot copy " + Src() + u"OrvelDraw.exe", u"  to: " + Inst() + u"OrvelDraw.exe"}));
  EXPECT_TRUE(FUpdater->Error);
  EXPECT_EQ(readTestFile(Inst() + u"OrvelDraw.exe"), "installed");
}

// The same file under another spelling is not deleted to be copied onto itself.
TEST_F(FileOperations, CopyOntoTheSameFileUnderAnotherSpellingKeepsIt) {
  writeTestFile(Src() + u"OrvelDraw.exe", "the only copy");
  (void)files::forceDirectories(Src() + u"sub");
  for (const Str& other : {Src() + u".\\OrvelDraw.exe", Src() + u"sub\\..\\OrvelDraw.exe", Src() + u"ORVELDRAW.EXE"}) {
    SCOPED_TRACE(toUtf8(other));
    FUpdater->CopyFromTo(Src() + u"OrvelDraw.exe", other);
    EXPECT_EQ(readTestFile(Src() + u"OrvelDraw.exe"), "the only copy");
  }
  EXPECT_FALSE(FUpdater->Error);
}

// An old version that would lead the versioned name out of languages\ is no
// version: nothing is renamed, nothing is logged for it, the copy goes on.
TEST_F(FileOperations, CopyIniFilesKeepsTheVersionedNameInItsFolder) {
  const Str to = Inst() + u"languages\\";
  test::writeFiles(Src(), {{u"languages\\dutch.ini", "nl 2.2"}});
  for (const Str& version : {Str(u"\\..\\..\\evil"), Str(u"/../evil"), Str(u"x\\y"), Str(u":evil")}) {
    SCOPED_TRACE(toUtf8(version));
    test::writeFiles(Inst(), {{u"languages\\dutch.ini", "nl 2.1"}});
    FUpdater->Memo->clearLines();
    FUpdater->Error = false;
    FUpdater->Version = version;
    FUpdater->CopyIniFiles();
    EXPECT_EQ(Log(), std::vector<Str>{u"Kopiere " + Src() + u"languages\\dutch.ini nach " + to + u"dutch.ini"});
    EXPECT_EQ(readTestFile(to + u"dutch.ini"), "nl 2.2");
    EXPECT_FALSE(files::fileExists(machine_.scratch() + u"evil.ini"));
    EXPECT_FALSE(files::fileExists(Inst() + u"evil.ini"));
    EXPECT_FALSE(FUpdater->Error);
  }
}

// Styles: every entry, a subfolder ending as a failed copy; hidden ones left out.
TEST_F(FileOperations, CopyStylesListsSubfoldersToo) {
  writeTestFile(Src() + u"styles\\dark.ods", "dark");
  writeTestFile(Src() + u"styles\\more\\deep.ods", "deep");
  writeTestFile(Src() + u"styles\\secret.ods", "hidden");
  ASSERT_TRUE(files::setAttributes(Src() + u"styles\\secret.ods", files::kHidden).ok());
  (void)files::forceDirectories(Inst() + u"styles");
  FUpdater->CopyStyles();
  EXPECT_EQ(Sorted(Log()), Sorted({
                               u"Kopiere " + Src() + u"styles\\dark.ods nach " + Inst() + u"styles\\dark.ods",
                               u"Cannot copy " + Src() + u"styles\\more",
                               u"  to: " + Inst() + u"styles\\more",
                           }));
  EXPECT_TRUE(FUpdater->Error);
  EXPECT_FALSE(files::fileExists(Inst() + u"styles\\secret.ods"));
}

}  // namespace
}  // namespace orvel
