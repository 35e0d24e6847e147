// INI text as the emulated profile functions read and change it.
#include "formats/ini_text.h"

#include <gtest/gtest.h>

#include <string>

namespace orvel::ini {
namespace {

// ISO 8859-1 stands in for the ANSI code page here.
Str latin1(const std::string& bytes) {
  Str text;
  for (unsigned char c : bytes) text.push_back(c);
  return text;
}

std::string toLatin1(const Str& text) {
  std::string bytes;
  for (char16_t c : text) bytes.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return bytes;
}

Document load(const std::string& bytes) { return Document::parse(bytes, latin1); }

std::string afterSet(const std::string& before, const Str& section, const Str& key, const Str& value) {
  Document doc = load(before);
  doc.set(section, key, value);
  return doc.bytes(toLatin1);
}

struct SetCase {
  const char* scenario;
  std::string before;
  const char16_t* section;
  const char16_t* key;
  const char16_t* value;
  std::string after;
};

// Line forms the profile conformance tests do not reach: CR line ends, a
// file that is one header, blanks inside the brackets, and characters that
// the code page lacks. (Where entries land is checked there, byte for byte.)
TEST(IniText, SetChangesOnlyItsLine) {
  const SetCase cases[] = {
      {"CR line ends kept", "[A]\rk=v\r", u"B", u"q", u"1", "[A]\rk=v\r[B]\rq=1\r"},
      {"header alone", "[A]", u"A", u"q", u"1", "[A]\r\nq=1\r\n"},
      {"blank lines after the last section stay last", "[A]\nk=v\n\n\n", u"A", u"q", u"1",
       "[A]\nk=v\nq=1\n\n\n"},
      {"section name with blanks", "[ A ]\r\nk=1\r\n", u"A", u"k", u"2", "[ A ]\r\nk=2\r\n"},
      {"characters outside the code page", "", u"A", u"k", u"\u00e4\u4e00", "[A]\r\nk=\xe4?\r\n"},
  };
  for (const SetCase& c : cases) {
    EXPECT_EQ(afterSet(c.before, c.section, c.key, c.value), c.after) << c.scenario;
  }
}

// Writing the value an entry already holds changes nothing, not even blanks.
TEST(IniText, SetOfTheSameValueIsNoChange) {
  Document doc = load("[A]\r\n k = v \r\n");
  EXPECT_FALSE(doc.set(u"a", u"K", u"v"));
  EXPECT_EQ(doc.bytes(toLatin1), "[A]\r\n k = v \r\n");
  EXPECT_TRUE(doc.set(u"a", u"K", u"V"));
}

// Unicode files stay in their encoding, byte-order mark included.
TEST(IniText, KeepsTheEncoding) {
  EXPECT_EQ(afterSet("\xEF\xBB\xBF[A]\r\n", u"A", u"k", u"\u00e4"), "\xEF\xBB\xBF[A]\r\nk=\xC3\xA4\r\n");
  EXPECT_EQ(afterSet(std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12), u"A", u"k", u"\u4e00"),
            std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\x00\x4e\r\0\n\0", 22));
  EXPECT_EQ(afterSet(std::string("\xFE\xFF\0[\0A\0]\0\n", 10), u"A", u"k", u"x"),
            std::string("\xFE\xFF\0[\0A\0]\0\n\0k\0=\0x\0\n", 18));
  EXPECT_EQ(load("\xFF\xFE").encoding(), Encoding::Utf16Le);
  EXPECT_EQ(load("[A]").encoding(), Encoding::Ansi);
}

// What the reader finds, before the quotes and the length limit.
TEST(IniText, ValueFindsTheFirstEntry) {
  Document doc = load(
      "top=0\r\n"
      "[Sec]\r\n"
      "  Key = \" v \"  \r\n"
      "key=second\r\n"
      "noeq\r\n"
      "empty=\r\n"
      "eq=a=b\r\n"
      ";c=1\r\n"
      "[ Other ]\r\n"
      "k=o\r\n"
      "[sec]\r\n"
      "late=1\r\n");
  EXPECT_EQ(doc.value(u"SEC", u"key"), Str(u"\" v \""));
  EXPECT_EQ(doc.value(u" Sec ", u" KEY\t"), Str(u"\" v \""));
  EXPECT_EQ(doc.value(u"Sec", u"noeq"), std::nullopt);
  EXPECT_EQ(doc.value(u"Sec", u"empty"), Str());
  EXPECT_EQ(doc.value(u"Sec", u"eq"), Str(u"a=b"));
  EXPECT_EQ(doc.value(u"Other", u"k"), Str(u"o"));
  EXPECT_EQ(doc.value(u"Sec", u"late"), std::nullopt);  // only the first [Sec] counts
  EXPECT_EQ(doc.value(u"Sec", u"top"), std::nullopt);
  EXPECT_EQ(doc.value(u"", u"top"), Str(u"0"));
  EXPECT_EQ(doc.value(u"Missing", u"k"), std::nullopt);
  EXPECT_EQ(doc.value(u"Sec", u""), std::nullopt);
  EXPECT_EQ(doc.keys(u"sec"), (std::vector<Str>{u"Key", u"empty", u"eq"}));
  EXPECT_TRUE(doc.keys(u"Missing").empty());
}

struct ReaderCase {
  const char16_t* raw;
  Str read;
};

// One pair of enclosing quotes goes, the text stops at a NUL and after 2047
// characters.
TEST(IniText, ReaderValue) {
  const ReaderCase cases[] = {
      {u"\" v \"", u" v "}, {u"'x'", u"x"},   {u"\"x", u"\"x"},     {u"\"", u"\""},
      {u"''", u""},         {u"\"x'", u"\"x'"}, {u"\"\"x\"\"", u"\"x\""}, {u"a;b", u"a;b"},
  };
  for (const ReaderCase& c : cases) EXPECT_EQ(readerValue(c.raw, 2047), c.read) << toUtf8(c.raw);
  EXPECT_EQ(readerValue(Str(u"ab\0cd", 5), 2047), u"ab");
  Str longValue(3000, u'x');
  EXPECT_EQ(readerValue(longValue, 2047).size(), 2047u);
  EXPECT_EQ(readerValue(u"\"" + longValue + u"\"", 2047), Str(2047, u'x'));
}

}  // namespace
}  // namespace orvel::ini
