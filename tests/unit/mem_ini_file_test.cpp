// The in-memory INI file: parsing, lookups, changes and the text written back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/convert.h"
#include "common/mem_ini_file.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

// 8-bit text is read in the machine's ANSI code page: each case gets a fresh machine.
class MemIniFileTest : public testing::Test {
 protected:
  static MemIniFile Parse(const std::string& bytes) {
    MemIniFile ini = MemIniFile::Empty(u"C:\\unused.ini");
    ini.LoadFromBytes(bytes);
    return ini;
  }
  test::TestMachine machine_;
};

const std::string kSample =
    "; written by hand\r\n"
    "stray=line\r\n"
    "[User]\r\n"
    "  HomeDir = C:\\Users\\Data\\  \r\n"
    "\r\n"
    "[Orvel]\n"
    "Language=languages\\english.ini\n"
    "; a comment\n"
    "Empty=\n"
    "NoEquals\n"
    "Language=second\n"
    "[orvel]\n"
    "Shadowed=1\n";

TEST_F(MemIniFileTest, LooksUpSectionsAndNamesWithoutLetterCase) {
  const MemIniFile ini = Parse(kSample);
  EXPECT_EQ(ini.ReadString(u"user", u"HOMEDIR", u"-"), u"C:\\Users\\Data\\");  // blanks around both dropped
  EXPECT_EQ(ini.ReadString(u"Orvel", u"language", u"-"), u"languages\\english.ini");  // first of two wins
  EXPECT_EQ(ini.ReadString(u"Orvel", u"Empty", u"-"), u"");           // present but empty is not missing
  EXPECT_EQ(ini.ReadString(u"Orvel", u"NoEquals", u"-"), u"-");       // a line without "=" is no entry
  EXPECT_EQ(ini.ReadString(u"Orvel", u"Shadowed", u"-"), u"-");       // only the first [Orvel] counts
  EXPECT_EQ(ini.ReadString(u"Orvel", u"; a comment", u"-"), u"-");
  EXPECT_EQ(ini.ReadString(u"", u"stray", u"-"), u"-");               // lines before any section
  EXPECT_EQ(ini.ReadString(u"Missing", u"x", u"def"), u"def");
  EXPECT_EQ(ini.ReadSections(), (std::vector<Str>{u"User", u"Orvel", u"orvel"}));
  EXPECT_EQ(ini.ReadSection(u"ORVEL"), (std::vector<Str>{u"Language", u"Empty", u"Language"}));
}

TEST_F(MemIniFileTest, ReadIntegerTakesDecimalAndHexOtherwiseTheDefault) {
  struct Row {
    const char* value;
    int32_t expected;
  };
  const std::vector<Row> rows = {
      {"12", 12},       // 1 decimal
      {"-3", -3},       // 2 negative
      {"0x1F", 31},     // 3 hex
      {"0X10", 16},     // 4 upper-case prefix
      {"abc", 99},      // 5 not a number
      {"", 99},         // 6 empty
      {"1.5", 99},      // 7 fraction
      {"12abc", 99},    // 8 trailing text
      {"99999999999", 99},  // 9 out of range
      {"$10", 99},      // 10 the framework's other hex prefixes are no INI number
      {"x10", 99},      // 11
      {"X10", 99},      // 12
      {"-$10", 99},     // 13
      {" -0x10", -16},  // 14 a sign before "0x"
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const MemIniFile ini = Parse(std::string("[S]\r\nN=") + rows[i].value + "\r\n");
    EXPECT_EQ(ini.ReadInteger(u"S", u"N", 99), rows[i].expected) << "row " << i + 1;
  }
  EXPECT_EQ(Parse("").ReadInteger(u"S", u"N", -1), -1);
}

TEST_F(MemIniFileTest, ChangesKeepTheOrderAndThePlainForm) {
  MemIniFile ini = Parse("[User]\r\nHomeDir=C:\\Data\\\r\n[Program]\r\nUpdate=5\r\nNextUpdate=7\r\n");
  ini.WriteString(u"USER", u"homedir", u"D:\\Data\\");  // replaced in place, spelling of the file kept
  ini.WriteInteger(u"Program", u"Count", -12);           // appended to its section
  ini.WriteString(u"Neu", u"A", u"text");                 // new section at the end
  EXPECT_TRUE(ini.DeleteKey(u"program", u"UPDATE"));
  EXPECT_FALSE(ini.DeleteKey(u"Program", u"Update"));
  EXPECT_FALSE(ini.DeleteKey(u"Nowhere", u"x"));
  EXPECT_EQ(ini.SaveToBytes(),
            "[User]\r\nHomeDir=D:\\Data\\\r\n\r\n"
            "[Program]\r\nNextUpdate=7\r\nCount=-12\r\n\r\n"
            "[Neu]\r\nA=text\r\n");
  EXPECT_TRUE(ini.DeleteKey(u"Neu", u"A"));
  EXPECT_TRUE(ini.SectionExists(u"Neu"));  // the section stays, empty
}

TEST_F(MemIniFileTest, CommentsSurviveAWriteBack) {
  MemIniFile ini = Parse("; head\r\n[S]\r\n; note\r\nA=1\r\n");
  ini.WriteString(u"S", u"B", u"2");
  EXPECT_EQ(ini.SaveToBytes(), "; head\r\n\r\n[S]\r\n; note\r\nA=1\r\nB=2\r\n");
}

// 8-bit text starting with the bytes of a byte-order mark stays 8-bit when written back.
TEST_F(MemIniFileTest, EightBitTextNeverBeginsWithAByteOrderMark) {
  const MemIniFile ini = Parse(" \xFF\xFEx\r\n[S]\r\nA=1\r\n");
  const std::string bytes = ini.SaveToBytes();
  EXPECT_EQ(bytes, "\r\n\xFF\xFEx\r\n\r\n[S]\r\nA=1\r\n");
  EXPECT_EQ(Parse(bytes).Lines(), ini.Lines());
}

TEST_F(MemIniFileTest, EightBitTextUsesTheAnsiCodePage) {
  MemIniFile ini = Parse("[S]\r\nName=Gr\xF6\xDF" "e\r\n");
  EXPECT_EQ(ini.TextEncoding(), MemIniFile::Encoding::Ansi);
  EXPECT_EQ(ini.ReadString(u"S", u"Name", u""), u"Größe");
  ini.WriteString(u"S", u"Wert", u"ä€");
  EXPECT_EQ(ini.SaveToBytes(), "[S]\r\nName=Gr\xF6\xDF" "e\r\nWert=\xE4\x80\r\n");
}

TEST_F(MemIniFileTest, TextWithAByteOrderMarkKeepsItsEncoding) {
  // UTF-8
  MemIniFile utf8 = Parse("\xEF\xBB\xBF[S]\r\nName=\xE4\xB8\xAD\r\n");
  EXPECT_EQ(utf8.ReadString(u"S", u"Name", u""), u"中");
  EXPECT_EQ(utf8.SaveToBytes(), "\xEF\xBB\xBF[S]\r\nName=\xE4\xB8\xAD\r\n");
  // UTF-16 little-endian
  static const char kWide[] = "\xFF\xFE[\0S\0]\0\r\0\n\0N\0=\0\x2D\x4E\r\0\n\0";
  const std::string utf16(kWide, sizeof kWide - 1);
  MemIniFile wide = Parse(utf16);
  EXPECT_EQ(wide.TextEncoding(), MemIniFile::Encoding::Utf16Le);
  EXPECT_EQ(wide.ReadString(u"s", u"n", u""), u"中");
  EXPECT_EQ(wide.SaveToBytes(), utf16);
}

TEST_F(MemIniFileTest, CanStoreOnlyWhatReadsBackAsItself) {
  struct Row {
    Str section, name, value;
    bool expected;
  };
  const std::vector<Row> rows = {
      {u"Program", u"A", u"text", true},          // 1 plain
      {u"", u"", u"", true},                      // 2 empty names are INI names too
      {u"Pro]gram", u"A", u"x", false},           // 3 "]" ends a section line
      {u"Program", u"A=B", u"x", false},          // 4 "=" would split the name
      {u"Program", u"A\r\n[Orvel]", u"x", false}, // 5 line break in a name
      {u"Program", u"[Orvel]", u"x", false},      // 6 looks like a section
      {u"Program", u";A", u"x", false},           // 7 looks like a comment
      {u"[Program", u"A", u"x", false},           // 8 section starting with "["
      {u"Program", u"A", u"x\nPortable=1", false},// 9 line break in a value
      {u"Program", u"A", u"x\r", false},          // 10 carriage return in a value
      {u"Program", u" A", u"x", false},           // 11 blank at the start of a name
      {u"Program ", u"A", u"x", false},           // 12 blank at the end of a section
      {u"Program", u"A", u" x=;[]", true},        // 13 anything else in a value
      {u"Prog ram", u"A b", u"x", true},          // 14 inner blanks
      {u"Größe", u"Wert", u"x", true},            // 15 in the code page
      {u"Program", u"中", u"x", false},           // 16 not in the code page: would read back as "?"
      {u"Program", u"A", u"中", false},           // 17 nor a value: it would read back as "?"
      {u"Program", u"A", u"Größe", true},         // 18 a value in the code page
  };
  const MemIniFile ini = Parse("");
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(ini.CanStore(rows[i].section, rows[i].name, rows[i].value), rows[i].expected) << "row " << i + 1;
  EXPECT_TRUE(Parse("\xEF\xBB\xBF").CanStore(u"Program", u"中", u"x"));  // a Unicode file holds it
}

TEST_F(MemIniFileTest, MissingFileIsEmptyAndTheFirstUpdateCreatesIt) {
  const Str path = machine_.scratch() + u"ODMachine.INI";
  MemIniFile ini(path);
  EXPECT_TRUE(ini.ReadSections().empty());
  ini.WriteString(u"Program", u"A", u"text");
  ini.WriteInteger(u"Program", u"B", 12);
  ASSERT_TRUE(ini.UpdateFile().ok());
  EXPECT_EQ(test::readTestFile(path), "[Program]\r\nA=text\r\nB=12\r\n");
  const MemIniFile reread(path);
  EXPECT_EQ(reread.ReadString(u"program", u"a", u""), u"text");
  EXPECT_EQ(reread.ReadInteger(u"PROGRAM", u"B", 0), 12);
}

TEST_F(MemIniFileTest, UpdateIntoAMissingFolderFails) {
  MemIniFile ini = MemIniFile::Empty(machine_.scratch() + u"no such folder\\ODMachine.INI");
  ini.WriteString(u"S", u"A", u"1");
  EXPECT_FALSE(ini.UpdateFile().ok());
}

// Runs that hold the file at once each write back only on top of what is on
// disk then: every run's entries survive, and a removal stays removed.
TEST_F(MemIniFileTest, ConcurrentRunsKeepEachOthersEntries) {
  const Str path = machine_.scratch() + u"ODMachine.INI";
  test::writeTestFile(path, "[User]\r\nHomeDir=Data\r\n[Program]\r\nUpdate=3\r\nNextUpdate=4\r\n");
  constexpr int kRuns = 20;
  std::vector<std::unique_ptr<MemIniFile>> runs;
  for (int i = 0; i < kRuns; ++i) runs.push_back(std::make_unique<MemIniFile>(path));  // all read before any writes
  std::vector<std::thread> threads;
  for (int i = 0; i < kRuns; ++i)
    threads.emplace_back([&, i] {
      MemIniFile& run = *runs[static_cast<size_t>(i)];
      run.WriteInteger(u"Program", u"Entry" + IntToStr(i), i);
      if (i == 7) run.DeleteKey(u"Program", u"Update");
      EXPECT_TRUE(run.UpdateFile().ok());
      run.WriteString(u"Orvel", u"Second" + IntToStr(i), u"x");
      EXPECT_TRUE(run.UpdateFile().ok());
    });
  for (std::thread& t : threads) t.join();
  const MemIniFile after(path);
  for (int i = 0; i < kRuns; ++i) {
    EXPECT_EQ(after.ReadInteger(u"Program", u"Entry" + IntToStr(i), -1), i) << i;
    EXPECT_EQ(after.ReadString(u"Orvel", u"Second" + IntToStr(i), u"-"), u"x") << i;
  }
  EXPECT_FALSE(after.ValueExists(u"Program", u"Update"));
  EXPECT_EQ(after.ReadString(u"User", u"HomeDir", u"-"), u"Data");
  EXPECT_EQ(after.ReadInteger(u"Program", u"NextUpdate", -1), 4);
}

}  // namespace
}  // namespace orvel
