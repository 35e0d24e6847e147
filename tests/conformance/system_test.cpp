// The system service: user, rights, folders, the program's own path and
// command line, code pages and error texts, as Windows gives them.
#include "platform/system.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::TestMachine;

bool isAbsolute(const Str& path) {
  return (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') || path.rfind(u"\\\\", 0) == 0;
}

Str lastComponent(const Str& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == Str::npos ? path : path.substr(slash + 1);
}

Str lowered(Str s) {
  for (char16_t& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
  return s;
}

TEST(System, NetworkUserName) {
  TestMachine machine;
  std::optional<Str> name = sys::networkUserName(256);
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
  EXPECT_EQ(name->find(u'\0'), Str::npos);
  // A buffer without room for the name and its terminator gets nothing.
  EXPECT_FALSE(sys::networkUserName(name->size()).has_value());
  EXPECT_EQ(sys::networkUserName(name->size() + 1), name);
}

TEST(System, TempPathIsAnExistingFolderWithTrailingSeparator) {
  TestMachine machine;
  std::optional<Str> temp = sys::tempPath(255);
  ASSERT_TRUE(temp.has_value());
  EXPECT_TRUE(isAbsolute(*temp)) << toUtf8(*temp);
  EXPECT_EQ(temp->back(), u'\\');
  EXPECT_TRUE(files::directoryExists(*temp));
  // Too small a buffer.
  EXPECT_FALSE(sys::tempPath(3).has_value());
}

TEST(System, ModulePathIsTheRunningProgram) {
  TestMachine machine;
  const Str module = sys::modulePath();
  EXPECT_TRUE(isAbsolute(module)) << toUtf8(module);
  EXPECT_TRUE(files::fileExists(module)) << toUtf8(module);
  // Argument 0 names the same program, with or without its extension.
  std::vector<Str> arguments = sys::commandLineArguments();
  ASSERT_FALSE(arguments.empty());
  Str started = lowered(lastComponent(arguments[0]));
  Str program = lowered(lastComponent(module));
  EXPECT_TRUE(started == program || started + u".exe" == program) << toUtf8(arguments[0]);
}

TEST(System, AdministratorByDefault) {
  TestMachine machine;
  EXPECT_TRUE(sys::isAdministrator());
}

TEST(System, CodePagesRoundTripEveryByte) {
  for (unsigned codePage : {1250u, 1251u, 1252u, 437u, 850u, 852u, 866u}) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    Str text = sys::decode(bytes, codePage);
    EXPECT_EQ(text.size(), bytes.size()) << codePage;
    EXPECT_EQ(sys::encode(text, codePage), bytes) << codePage;
  }
}

TEST(System, CodePageCharacters) {
  struct Row {
    unsigned codePage;
    Str text;
    std::string bytes;
  };
  const std::vector<Row> rows = {
      {1252, u"€äÿŒ", "\x80\xE4\xFF\x8C"},  // 1 the ANSI code page's own characters
      {850, u"äßØ×", "\x84\xE1\x9D\x9E"},   // 2 Western European OEM
      {437, u"éñ½α", "\x82\xA4\xAB\xE0"},   // 3 the original PC
      {1252, u"plain", "plain"},           // 4 ASCII stays
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(sys::encode(rows[i].text, rows[i].codePage), rows[i].bytes) << "row " << i + 1;
    EXPECT_EQ(sys::decode(rows[i].bytes, rows[i].codePage), rows[i].text) << "row " << i + 1;
  }
  // A character a code page lacks becomes a question mark.
  EXPECT_EQ(sys::encode(u"a中b", 1252), "a?b");
  EXPECT_EQ(sys::encode(u"中", 850), "?");
}

// Each common ANSI and OEM code page writes a letter of its own script in its
// own bytes and reads them back; a letter it lacks becomes '?'.
TEST(System, EachCodePageHasItsLetters) {
  struct Row {
    unsigned codePage;
    Str letter;
    std::string bytes;
  };
  const Row rows[] = {
      {1250, u"ő", "\xF5"},     {1251, u"ж", "\xE6"},     {1252, u"Þ", "\xDE"},     {1253, u"λ", "\xEB"},
      {1254, u"ğ", "\xF0"},     {1255, u"א", "\xE0"},     {1256, u"ب", "\xC8"},     {1257, u"ų", "\xF8"},
      {1258, u"ư", "\xFD"},     {874, u"ก", "\xA1"},      {932, u"あ", "\x82\xA0"}, {936, u"们", "\xC3\xC7"},
      {949, u"한", "\xC7\xD1"}, {950, u"們", "\xAD\xCC"}, {437, u"₧", "\x9E"},      {850, u"Ã", "\xC7"},
      {852, u"ő", "\x8B"},      {866, u"ж", "\xA6"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codePage);
    EXPECT_EQ(sys::encode(u"a" + row.letter + u"b", row.codePage), "a" + row.bytes + "b");
    EXPECT_EQ(sys::decode("a" + row.bytes + "b", row.codePage), u"a" + row.letter + u"b");
    // Thai is in none of them but 874, which lacks Cyrillic.
    const Str lacking = row.codePage == 874 ? u"ж" : u"ก";
    EXPECT_EQ(sys::encode(lacking + row.letter, row.codePage), "?" + row.bytes);
  }
}

// Without best fit nothing stands in for a character: not the backslash for
// the yen sign in 932, not a letter and a combining mark for a Vietnamese
// letter in 1258. Each half of a surrogate pair is a '?' of its own.
TEST(System, CodePagesWriteNoLookAlikes) {
  struct Row {
    unsigned codePage;
    Str text;
    std::string bytes;
  };
  const Row rows[] = {
      {932, u"¥\\‾~", "?\\?~"},                   // 1 yen sign, overline
      {932, u"‖∥", "?\x81\x61"},                     // 2 only the parallel sign is there
      {1258, u"ẠÃ", "??"},                          // 3 precomposed letters 1258 lacks
      {1252, u"ą", "?"},                            // 4 no plain a for a with ogonek
      {1252, u"x\U0001F600y", "x??y"},              // 5 a surrogate pair
      {1251, Str(1, char16_t(0xD800)) + u"я", "?\xFF"},  // 6 a lone surrogate
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(sys::encode(rows[i].text, rows[i].codePage), rows[i].bytes) << "row " << i + 1;
}

TEST(System, ErrorMessagesAreSentencesWithoutLineBreak) {
  std::set<Str> seen;
  for (uint32_t code : {err::kFileNotFound, err::kPathNotFound, err::kAccessDenied, err::kSharingViolation,
                        err::kAlreadyExists, err::kDirNotEmpty}) {
    Str text = sys::errorMessage(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), u'\n') << code;
    EXPECT_NE(text.back(), u'\r') << code;
    EXPECT_NE(text.back(), u' ') << code;
    EXPECT_TRUE(seen.insert(text).second) << "same text as another code: " << code;
  }
}

}  // namespace
}  // namespace orvel
