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
  for (unsigned codePage : {1252u, 850u, 437u}) {
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
