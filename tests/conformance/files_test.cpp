// The file service: what the kernel32 file functions answer on Windows, and
// the emulated machine answers alike. Attributes are compared on read-only,
// hidden, system and directory only: whether a plain file reports archive
// or normal differs between Windows and Wine.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_machine.h"
#include "tests/support/todo_wine.h"

namespace orvel {
namespace {

using test::readTestFile;
using test::TestMachine;
using test::todoWine;
using test::writeTestFile;

constexpr uint32_t kCompared = files::kReadOnly | files::kHidden | files::kSystem | files::kDirectory;
constexpr uint32_t kNotADirectory = 267;  // ERROR_DIRECTORY
// 2020-01-01 00:00:00.1234567 UTC as a FILETIME.
constexpr uint64_t kNewYear2020 = 132223104001234567ull;

class FilesTest : public testing::Test {
 protected:
  Str at(const Str& name) const { return machine_.scratch() + name; }
  Str file(const Str& name, const std::string& bytes = "content") const {
    writeTestFile(at(name), bytes);
    return at(name);
  }
  Str folder(const Str& name) const {
    EXPECT_TRUE(files::forceDirectories(at(name)).ok());
    return at(name);
  }
  uint32_t shownAttributes(const Str& path) const { return files::getAttributes(path) & kCompared; }
  // The names of a listing, sorted: the order of a listing is the file system's.
  static std::vector<std::string> names(const std::vector<files::FindEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& entry : entries) out.push_back(toUtf8(entry.name));
    std::sort(out.begin(), out.end());
    return out;
  }

  TestMachine machine_;
};

TEST_F(FilesTest, ExistenceOfFilesAndFolders) {
  file(u"a.txt");
  folder(u"sub");
  struct Row {
    Str path;
    bool isFile;
    bool isFolder;
  };
  const std::vector<Row> rows = {
      {u"a.txt", true, false},          // 1 a file
      {u"A.TXT", true, false},          // 2 names match without regard to case
      {u"sub", false, true},            // 3 a folder
      {u"SUB\\", false, true},          // 4 a folder with its trailing separator
      {u"missing.txt", false, false},   // 5 nothing there
      {u"missing\\a.txt", false, false},  // 6 in a missing folder
      {u"a.txt\\", false, false},       // 7 a file is no folder to look into
      {u"sub\\..\\a.txt", true, false},  // 8 ".." is folded away
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(files::fileExists(at(rows[i].path)), rows[i].isFile) << "row " << i + 1;
    EXPECT_EQ(files::directoryExists(at(rows[i].path)), rows[i].isFolder) << "row " << i + 1;
  }
}

TEST_F(FilesTest, AttributesAreKeptPerFile) {
  const Str path = file(u"a.txt");
  const uint32_t rows[] = {
      files::kReadOnly,                                       // 1
      files::kHidden,                                         // 2
      files::kSystem,                                         // 3
      files::kReadOnly | files::kHidden | files::kSystem,     // 4
      0,                                                      // 5 none: reads back as normal or archive
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_TRUE(files::setAttributes(path, rows[i]).ok()) << "row " << i + 1;
    EXPECT_EQ(shownAttributes(path), rows[i]) << "row " << i + 1;
  }
  // A file always reports some attribute; no attribute at all reads as normal.
  EXPECT_NE(files::getAttributes(path), 0u);
  EXPECT_NE(files::getAttributes(path), files::kInvalidAttributes);
}

TEST_F(FilesTest, FolderAttributes) {
  const Str sub = folder(u"sub");
  EXPECT_EQ(shownAttributes(sub), files::kDirectory);
  // A hidden folder stays a folder.
  ASSERT_TRUE(files::setAttributes(sub, files::kHidden).ok());
  EXPECT_EQ(shownAttributes(sub), files::kDirectory | files::kHidden);
  EXPECT_TRUE(files::directoryExists(sub));
}

TEST_F(FilesTest, AttributesOfMissingPaths) {
  EXPECT_EQ(files::getAttributes(at(u"missing.txt")), files::kInvalidAttributes);
  // Setting fails with the code that tells a missing file from a missing folder.
  EXPECT_EQ(files::setAttributes(at(u"missing.txt"), files::kHidden).error, err::kFileNotFound);
  EXPECT_EQ(files::setAttributes(at(u"missing\\a.txt"), files::kHidden).error, err::kPathNotFound);
}

TEST_F(FilesTest, DeleteFile) {
  // A plain file goes.
  const Str plain = file(u"plain.txt");
  EXPECT_TRUE(files::deleteFile(plain).ok());
  EXPECT_FALSE(files::fileExists(plain));
  // A hidden file goes too.
  const Str hidden = file(u"hidden.txt");
  ASSERT_TRUE(files::setAttributes(hidden, files::kHidden).ok());
  EXPECT_TRUE(files::deleteFile(hidden).ok());
  EXPECT_FALSE(files::fileExists(hidden));
  // A missing file, and a file in a missing folder.
  EXPECT_EQ(files::deleteFile(at(u"missing.txt")).error, err::kFileNotFound);
  EXPECT_EQ(files::deleteFile(at(u"missing\\a.txt")).error, err::kPathNotFound);
  // A folder is no file.
  const Str sub = folder(u"sub");
  EXPECT_EQ(files::deleteFile(sub).error, err::kAccessDenied);
  EXPECT_TRUE(files::directoryExists(sub));
}

TEST_F(FilesTest, ReadOnlyFileIsDeletedOnlyAfterItsAttributeIsCleared) {
  const Str path = file(u"OrvelDraw.exe");
  ASSERT_TRUE(files::setAttributes(path, files::kReadOnly).ok());
  EXPECT_EQ(files::deleteFile(path).error, err::kAccessDenied);
  EXPECT_TRUE(files::fileExists(path));
  ASSERT_TRUE(files::setAttributes(path, 0).ok());
  EXPECT_TRUE(files::deleteFile(path).ok());
  EXPECT_FALSE(files::fileExists(path));
}

TEST_F(FilesTest, LockedFileCannotBeDeletedUntilReleased) {
  const Str path = file(u"Setup.exe");
  auto lock = files::ExclusiveLock::acquire(path);
  ASSERT_TRUE(lock.has_value());
  EXPECT_EQ(files::deleteFile(path).error, err::kSharingViolation);
  EXPECT_TRUE(files::fileExists(path));
  lock->release();
  EXPECT_TRUE(files::deleteFile(path).ok());
}

TEST_F(FilesTest, ExclusiveLockSharesWithNobody) {
  const Str path = file(u"a.txt", "locked");
  auto lock = files::ExclusiveLock::acquire(path);
  ASSERT_TRUE(lock.has_value());
  // A second lock and a reader are refused while it is held.
  EXPECT_FALSE(files::ExclusiveLock::acquire(path).has_value());
  EXPECT_FALSE(files::readFile(path).has_value());
  // Its attributes and time stay readable.
  EXPECT_NE(files::getAttributes(path), files::kInvalidAttributes);
  EXPECT_TRUE(files::lastWriteTime(path).has_value());
  // Moving the lock keeps it held.
  files::ExclusiveLock moved = std::move(*lock);
  EXPECT_FALSE(files::readFile(path).has_value());
  moved.release();
  EXPECT_EQ(files::readFile(path).value_or("?"), "locked");
  // Nothing to lock: a missing file, a folder.
  EXPECT_FALSE(files::ExclusiveLock::acquire(at(u"missing.txt")).has_value());
  EXPECT_FALSE(files::ExclusiveLock::acquire(folder(u"sub")).has_value());
}

TEST_F(FilesTest, CopyKeepsContentAttributesAndTime) {
  const std::string bytes("MZ\0\x01\xFF\r\n", 7);
  const Str from = file(u"OrvelDraw.exe", bytes);
  ASSERT_TRUE(files::setLastWriteTime(from, kNewYear2020).ok());
  ASSERT_TRUE(files::setAttributes(from, files::kReadOnly | files::kHidden).ok());
  const Str to = folder(u"target") + u"\\OrvelDraw.exe";
  ASSERT_TRUE(files::copyFile(from, to, files::IfExists::Fail).ok());
  EXPECT_EQ(readTestFile(to), bytes);
  EXPECT_EQ(shownAttributes(to), files::kReadOnly | files::kHidden);
  EXPECT_EQ(files::lastWriteTime(to).value_or(0), kNewYear2020);
  // The source is untouched.
  EXPECT_EQ(readTestFile(from), bytes);
}

TEST_F(FilesTest, CopyOverAnExistingFile) {
  const Str from = file(u"new.ini", "new");
  const Str to = file(u"old.ini", "old");
  // failIfExists refuses and leaves the target as it was.
  EXPECT_EQ(files::copyFile(from, to, files::IfExists::Fail).error, err::kFileExists);
  EXPECT_EQ(readTestFile(to), "old");
  // Otherwise the target is replaced, also under another spelling of its name.
  EXPECT_TRUE(files::copyFile(from, at(u"OLD.INI"), files::IfExists::Replace).ok());
  EXPECT_EQ(readTestFile(to), "new");
}

TEST_F(FilesTest, CopyRefusals) {
  const Str from = file(u"from.txt", "from");
  const Str readOnly = file(u"readonly.txt", "old");
  ASSERT_TRUE(files::setAttributes(readOnly, files::kReadOnly).ok());
  const Str locked = file(u"locked.txt", "old");
  auto lock = files::ExclusiveLock::acquire(locked);
  ASSERT_TRUE(lock.has_value());
  struct Row {
    Str from;
    Str to;
    uint32_t error;
  };
  const std::vector<Row> rows = {
      {from, readOnly, err::kAccessDenied},                   // 1 a read-only target
      {from, locked, err::kSharingViolation},                 // 2 a target open without sharing
      {locked, at(u"copy.txt"), err::kSharingViolation},      // 3 a source open without sharing
      {at(u"missing.txt"), at(u"copy.txt"), err::kFileNotFound},  // 4 no source
      {from, at(u"missing\\copy.txt"), err::kPathNotFound},   // 5 no target folder
      {from, from, err::kSharingViolation},                   // 6 onto itself
      {folder(u"sub"), at(u"copy.txt"), err::kAccessDenied},  // 7 a folder is not copied
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(files::copyFile(rows[i].from, rows[i].to, files::IfExists::Replace).error, rows[i].error) << "row " << i + 1;
  EXPECT_EQ(readTestFile(readOnly), "old");
  EXPECT_FALSE(files::fileExists(at(u"copy.txt")));
  lock->release();
  EXPECT_EQ(readTestFile(locked), "old");
}

TEST_F(FilesTest, MoveFile) {
  // A file moves with its content; a read-only file may move too.
  const Str from = file(u"a.txt", "a");
  ASSERT_TRUE(files::setAttributes(from, files::kReadOnly).ok());
  const Str to = folder(u"sub") + u"\\b.txt";
  ASSERT_TRUE(files::moveFile(from, to).ok());
  EXPECT_FALSE(files::fileExists(from));
  EXPECT_EQ(readTestFile(to), "a");
  EXPECT_EQ(shownAttributes(to), files::kReadOnly);
  // An existing target is not replaced.
  const Str other = file(u"c.txt", "c");
  EXPECT_EQ(files::moveFile(other, to).error, err::kAlreadyExists);
  EXPECT_EQ(readTestFile(other), "c");
  EXPECT_EQ(readTestFile(to), "a");
  // No source.
  EXPECT_EQ(files::moveFile(at(u"missing.txt"), at(u"x.txt")).error, err::kFileNotFound);
  // A folder moves with everything in it.
  ASSERT_TRUE(files::moveFile(at(u"sub"), at(u"moved")).ok());
  EXPECT_EQ(readTestFile(at(u"moved\\b.txt")), "a");
  EXPECT_FALSE(files::directoryExists(at(u"sub")));
}

TEST_F(FilesTest, MoveFileChangesOnlyTheLetterCase) {
  const Str from = file(u"odmachine.ini", "x");
  ASSERT_TRUE(files::moveFile(from, at(u"ODMachine.INI")).ok());
  todoWine("a rename that changes only the letter case", [&] {
    EXPECT_EQ(names(files::findFiles(at(u"*.ini"))), std::vector<std::string>{"ODMachine.INI"});
  });
}

TEST_F(FilesTest, LockedFileCannotBeMoved) {
  const Str from = file(u"a.txt");
  auto lock = files::ExclusiveLock::acquire(from);
  ASSERT_TRUE(lock.has_value());
  EXPECT_EQ(files::moveFile(from, at(u"b.txt")).error, err::kSharingViolation);
  EXPECT_TRUE(files::fileExists(from));
}

TEST_F(FilesTest, CreateAndRemoveFolders) {
  const Str made = at(u"made");
  EXPECT_TRUE(files::createDirectory(made).ok());
  EXPECT_TRUE(files::directoryExists(made));
  // An existing folder, or a file of that name, is not made again.
  EXPECT_EQ(files::createDirectory(made).error, err::kAlreadyExists);
  EXPECT_EQ(files::createDirectory(file(u"f.txt")).error, err::kAlreadyExists);
  // The parent must exist.
  EXPECT_EQ(files::createDirectory(at(u"no\\such")).error, err::kPathNotFound);
  // forceDirectories makes the whole chain, and is content when it exists.
  const Str deep = at(u"one\\two\\three\\");
  EXPECT_TRUE(files::forceDirectories(deep).ok());
  EXPECT_TRUE(files::directoryExists(deep));
  EXPECT_TRUE(files::forceDirectories(deep).ok());
  // Only an empty folder is removed.
  EXPECT_EQ(files::removeDirectory(at(u"one\\two")).error, err::kDirNotEmpty);
  EXPECT_TRUE(files::removeDirectory(at(u"one\\two\\three")).ok());
  EXPECT_FALSE(files::directoryExists(at(u"one\\two\\three")));
  EXPECT_EQ(files::removeDirectory(at(u"missing")).error, err::kFileNotFound);
  EXPECT_EQ(files::removeDirectory(at(u"f.txt")).error, kNotADirectory);
  EXPECT_TRUE(files::fileExists(at(u"f.txt")));
}

TEST_F(FilesTest, NamesWithForbiddenCharacters) {
  const Str from = file(u"a.txt");
  EXPECT_EQ(files::createDirectory(at(u"a|b")).error, err::kInvalidName);
  EXPECT_EQ(files::writeFile(at(u"a?b.txt"), "x").error, err::kInvalidName);
  EXPECT_EQ(files::copyFile(from, at(u"a<b>.txt"), files::IfExists::Replace).error, err::kInvalidName);
  EXPECT_EQ(files::moveFile(from, at(u"a\"b.txt")).error, err::kInvalidName);
  EXPECT_FALSE(files::fileExists(at(u"a*.txt")));
  EXPECT_EQ(names(files::findFiles(at(u"*"))), std::vector<std::string>{"a.txt"});
}

TEST_F(FilesTest, FindFilesByPattern) {
  for (const Str name : {u"a.ini", u"B.INI", u"c.txt", u"noext", u"d.ini.bak", u"ee.ini", u"h.ini"})
    file(name);
  folder(u"sub");
  ASSERT_TRUE(files::setAttributes(at(u"h.ini"), files::kHidden).ok());
  using Names = std::vector<std::string>;
  const Names all = {"B.INI", "a.ini", "c.txt", "d.ini.bak", "ee.ini", "h.ini", "noext", "sub"};
  struct Row {
    Str pattern;
    Names expected;
  };
  const std::vector<Row> rows = {
      {u"*.*", all},                                    // 1 also names without a dot
      {u"*", all},                                      // 2
      {u"*.ini", {"B.INI", "a.ini", "ee.ini", "h.ini"}},  // 3 not d.ini.bak
      {u"*.INI", {"B.INI", "a.ini", "ee.ini", "h.ini"}},  // 4 without regard to case
      {u"?.ini", {"B.INI", "a.ini", "h.ini"}},          // 5 one character
      {u"*.bak", {"d.ini.bak"}},                        // 6 the last dot counts
      {u"C.TXT", {"c.txt"}},                            // 7 a name gives its own spelling
      {u"noext", {"noext"}},                            // 8
      {u"sub", {"sub"}},                                // 9 a folder by its name
      {u"*.xyz", {}},                                   // 10 nothing matches
      {u"e*", {"ee.ini"}},                              // 11
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(names(files::findFiles(at(rows[i].pattern))), rows[i].expected) << "row " << i + 1;
  // A missing folder lists nothing.
  EXPECT_TRUE(files::findFiles(at(u"missing\\*.*")).empty());
}

// A listing reports each entry's attributes and a file's size (a folder's is 0).
TEST_F(FilesTest, FindFilesReportsAttributesAndSizes) {
  file(u"h.ini", std::string(5000, 'h'));
  ASSERT_TRUE(files::setAttributes(at(u"h.ini"), files::kHidden | files::kReadOnly).ok());
  folder(u"sub");
  std::vector<files::FindEntry> entries = files::findFiles(at(u"*"));
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& entry : entries) {
    if (entry.name == u"sub") {
      EXPECT_EQ(entry.attributes & kCompared, files::kDirectory);
      EXPECT_EQ(entry.size, 0u);
    } else {
      EXPECT_EQ(entry.attributes & kCompared, files::kHidden | files::kReadOnly);
      EXPECT_EQ(entry.size, 5000u);
    }
  }
}

TEST_F(FilesTest, LastWriteTime) {
  const Str path = file(u"a.txt");
  ASSERT_TRUE(files::setLastWriteTime(path, kNewYear2020).ok());
  EXPECT_EQ(files::lastWriteTime(path).value_or(0), kNewYear2020);
  // A read-only file's time can be set all the same.
  ASSERT_TRUE(files::setAttributes(path, files::kReadOnly).ok());
  EXPECT_TRUE(files::setLastWriteTime(path, kNewYear2020 + 10'000'000).ok());
  EXPECT_EQ(files::lastWriteTime(path).value_or(0), kNewYear2020 + 10'000'000);
  EXPECT_FALSE(files::lastWriteTime(at(u"missing.txt")).has_value());
  EXPECT_EQ(files::setLastWriteTime(at(u"missing.txt"), kNewYear2020).error, err::kFileNotFound);
}

TEST_F(FilesTest, WriteAndReadWholeFiles) {
  const Str path = at(u"data.bin");
  const std::string bytes("\0\x01\xFF\r\n\x80 end", 10);
  ASSERT_TRUE(files::writeFile(path, bytes).ok());
  EXPECT_EQ(files::readFile(path).value_or("?"), bytes);
  // A shorter replacement leaves nothing of the old bytes.
  ASSERT_TRUE(files::writeFile(path, "ab").ok());
  EXPECT_EQ(files::readFile(path).value_or("?"), "ab");
  ASSERT_TRUE(files::writeFile(path, "").ok());
  EXPECT_EQ(files::readFile(path).value_or("?"), "");
  // Nothing to read: a missing file, a folder.
  EXPECT_FALSE(files::readFile(at(u"missing.txt")).has_value());
  EXPECT_FALSE(files::readFile(folder(u"sub")).has_value());
  // No folder to write into.
  EXPECT_EQ(files::writeFile(at(u"missing\\a.txt"), "x").error, err::kPathNotFound);
}

TEST_F(FilesTest, AnUnreadableFileIsToldApartFromAMissingOne) {
  using Status = files::FileContents::Status;
  const Str path = file(u"a.ini", "[User]");
  EXPECT_EQ(files::readFileContents(path).status, Status::Ok);
  EXPECT_EQ(files::readFileContents(path).bytes, "[User]");
  const files::FileContents missing = files::readFileContents(at(u"missing.ini"));
  EXPECT_EQ(missing.status, Status::Missing);
  EXPECT_EQ(missing.error, err::kFileNotFound);
  EXPECT_EQ(files::readFileContents(at(u"nofolder\\a.ini")).status, Status::Missing);
  // Held open without sharing: there, but not readable.
  auto lock = files::ExclusiveLock::acquire(path);
  ASSERT_TRUE(lock.has_value());
  const files::FileContents held = files::readFileContents(path);
  EXPECT_EQ(held.status, Status::Unreadable);
  EXPECT_EQ(held.error, err::kSharingViolation);
  EXPECT_TRUE(held.bytes.empty());
  lock->release();
  EXPECT_EQ(files::readFileContents(folder(u"sub")).status, Status::Unreadable);
}

TEST_F(FilesTest, SameExistingFileUnderAnotherSpelling) {
  const Str path = file(u"a.exe");
  folder(u"sub");
  EXPECT_TRUE(files::sameExistingFile(path, at(u"A.EXE")));
  EXPECT_TRUE(files::sameExistingFile(path, at(u".\\a.exe")));
  EXPECT_TRUE(files::sameExistingFile(path, at(u"sub\\..\\a.exe")));
  EXPECT_TRUE(files::sameExistingFile(path, at(u"sub\\..\\.\\a.exe")));
  // A copy is another file; a file that is not there is no file at all.
  const Str copy = file(u"b.exe");
  EXPECT_FALSE(files::sameExistingFile(path, copy));
  EXPECT_FALSE(files::sameExistingFile(at(u"missing.exe"), at(u"missing.exe")));
  // A file held open without sharing is still recognised.
  auto lock = files::ExclusiveLock::acquire(path);
  ASSERT_TRUE(lock.has_value());
  EXPECT_TRUE(files::sameExistingFile(path, at(u"sub\\..\\a.exe")));
}

TEST_F(FilesTest, WritingAnotherSpellingWritesTheExistingFile) {
  file(u"odmachine.ini", "old");
  ASSERT_TRUE(files::writeFile(at(u"ODMachine.INI"), "new").ok());
  EXPECT_EQ(names(files::findFiles(at(u"*"))), std::vector<std::string>{"odmachine.ini"});
  EXPECT_EQ(readTestFile(at(u"odmachine.ini")), "new");
}

// Names match without regard to case in every script with capitals, not
// only in Latin: each row's second spelling finds the first one's file.
TEST_F(FilesTest, NamesInOtherScriptsIgnoreCase) {
  struct Row {
    Str name, other;
    bool same;
  };
  const Row rows[] = {
      {u"Бумага.txt", u"БУМАГА.TXT", true},   // 1 Cyrillic
      {u"Χαρτί.txt", u"ΧΑΡΤΊ.txt", true},     // 2 Greek with an accent
      {u"Թուղթ.txt", u"ԹՈՒՂԹ.txt", true},     // 3 Armenian
      {u"ｐａｐｅｒ.txt", u"ＰＡＰＥＲ.txt", true},  // 4 full-width Latin
      {u"Ⴀⴁ.txt", u"ⴀႡ.txt", true},          // 5 Georgian Asomtavruli and Nuskhuri
      {u"紙.txt", u"紙.TXT", true},           // 6 no case at all
      {u"Straße.txt", u"STRASSE.txt", false},  // 7 one letter does not become two
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Str path = file(rows[i].name, "row " + std::to_string(i + 1));
    EXPECT_EQ(files::fileExists(at(rows[i].other)), rows[i].same) << "row " << i + 1;
    EXPECT_EQ(files::sameExistingFile(path, at(rows[i].other)), rows[i].same) << "row " << i + 1;
  }
}

TEST_F(FilesTest, WriteFileRefusesReadOnlyAndOpenFiles) {
  const Str readOnly = file(u"readonly.ini", "old");
  ASSERT_TRUE(files::setAttributes(readOnly, files::kReadOnly).ok());
  EXPECT_EQ(files::writeFile(readOnly, "new").error, err::kAccessDenied);
  EXPECT_EQ(readTestFile(readOnly), "old");
  // The replacement renames over the file, which Windows refuses for an open file.
  const Str locked = file(u"locked.ini", "old");
  auto lock = files::ExclusiveLock::acquire(locked);
  ASSERT_TRUE(lock.has_value());
  EXPECT_EQ(files::writeFile(locked, "new").error, err::kAccessDenied);
  lock->release();
  EXPECT_EQ(readTestFile(locked), "old");
}

TEST_F(FilesTest, CreateOrTruncate) {
  // A new file is empty.
  const Str fresh = at(u"new.txt");
  ASSERT_TRUE(files::createOrTruncate(fresh).ok());
  EXPECT_EQ(readTestFile(fresh), "");
  // An existing file is cut to nothing and keeps its attributes.
  const Str old = file(u"old.txt", "old content");
  ASSERT_TRUE(files::setAttributes(old, files::kHidden).ok());
  ASSERT_TRUE(files::createOrTruncate(old).ok());
  EXPECT_EQ(readTestFile(old), "");
  EXPECT_EQ(shownAttributes(old), files::kHidden);
  // A read-only file stays as it is.
  const Str readOnly = file(u"readonly.txt", "keep");
  ASSERT_TRUE(files::setAttributes(readOnly, files::kReadOnly).ok());
  EXPECT_EQ(files::createOrTruncate(readOnly).error, err::kAccessDenied);
  EXPECT_EQ(readTestFile(readOnly), "keep");
  // A file open without sharing cannot be opened for writing.
  const Str locked = file(u"locked.txt", "keep");
  auto lock = files::ExclusiveLock::acquire(locked);
  ASSERT_TRUE(lock.has_value());
  EXPECT_EQ(files::createOrTruncate(locked).error, err::kSharingViolation);
  lock->release();
  EXPECT_EQ(readTestFile(locked), "keep");
}

TEST_F(FilesTest, WriteTextLines) {
  struct Row {
    std::vector<Str> lines;
    unsigned codePage;
    std::string bytes;
  };
  const std::vector<Row> rows = {
      {{}, 1252, ""},                                             // 1 no line, no bytes
      {{u""}, 1252, "\r\n"},                                      // 2 an empty line
      {{u"echo on", u":1"}, 1252, "echo on\r\n:1\r\n"},           // 3 every line ends with CR LF
      {{u"Grüße €"}, 1252, "Gr\xFC\xDF" "e \x80\r\n"},            // 4 the ANSI code page
      {{u"Grüße"}, 850, "Gr\x81\xE1" "e\r\n"},                    // 5 an OEM code page
      {{u"é½"}, 437, "\x82\xAB\r\n"},                             // 6
      {{u"a中b"}, 1252, "a?b\r\n"},                               // 7 a character the page lacks
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Str path = at(u"lines" + fromUtf8(std::to_string(i)) + u".txt");
    ASSERT_TRUE(files::writeTextLines(path, rows[i].lines, rows[i].codePage).ok()) << "row " << i + 1;
    EXPECT_EQ(readTestFile(path), rows[i].bytes) << "row " << i + 1;
  }
}

}  // namespace
}  // namespace orvel
