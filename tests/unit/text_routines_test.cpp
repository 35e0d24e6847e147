// The pure text routines, Format and the error box text.
#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/format.h"
#include "gui/error.h"

namespace orvel {
namespace {

struct Case {
  Str input;
  Str expected;
};

TEST(TextRoutines, QuoteIfSpaces) {
  const std::vector<Case> cases = {
      {u"", u""},                                                          // 1 empty
      {u"C:\\Orvel\\x.ini", u"C:\\Orvel\\x.ini"},                          // 2 no blank
      {u"C:\\Program Files\\x.ini", u"\"C:\\Program Files\\x.ini\""},      // 3 wrapped
      {u"\"C:\\Program Files\\x.ini", u"\"C:\\Program Files\\x.ini"},      // 4 first char decides
      {u"a \"b\" c", u"\"a \"b\" c\""},                                    // 5 inner quotes do not count
      {u" ", u"\" \""},                                                    // 6 one blank
      {u"a\tb", u"a\tb"},                                                  // 7 a tab is no blank
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(QuoteIfSpaces(cases[i].input), cases[i].expected) << "row " << i + 1;
}

TEST(TextRoutines, StripQuotes) {
  const std::vector<Case> cases = {
      {u"\"abc\"", u"abc"},      // 1 both quotes go
      {u"\"abcd", u"abc"},       // 2 the last character goes whatever it is
      {u"\"", u""},              // 3 one quote
      {u"\"\"", u""},            // 4 two quotes
      {u"", u""},                // 5 empty
      {u"abc\"", u"abc\""},      // 6 ends with a quote only
      {u"\"a\"b\"", u"a\"b"},    // 7 inner quotes stay
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(StripQuotes(cases[i].input), cases[i].expected) << "row " << i + 1;
}

TEST(TextRoutines, UnescapeQuot) {
  const std::vector<Case> cases = {
      {u"&quot;C:\\x.exe&quot; &quot;%1&quot;", u"\"C:\\x.exe\" \"%1\""},  // 1 each entity
      {u"&QUOT;", u"&QUOT;"},                                               // 2 case-sensitive
      {u"&quot", u"&quot"},                                                 // 3 no semicolon
      {u"&&quot;;", u"&\";"},                                               // 4 embedded
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(UnescapeQuot(cases[i].input), cases[i].expected) << "row " << i + 1;
}

TEST(TextRoutines, ReplaceAll) {
  struct Row {
    Str s, search, replacement, expected;
  };
  const std::vector<Row> rows = {
      {u"aaa", u"aa", u"b", u"ba"},        // 1 left to right, no overlap
      {u"aa", u"a", u"aa", u"aaaa"},       // 2 replacement never searched again
      {u"abc", u"", u"x", u"abc"},         // 3 empty search finds nothing
      {u"", u"a", u"b", u""},              // 4 empty text
      {u"abcabc", u"bc", u"", u"aa"},      // 5 deletion
      {u"Abc", u"a", u"x", u"Abc"},        // 6 case-sensitive
      {u"xyz", u"xyz", u"1", u"1"},        // 7 whole text
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(ReplaceAll(rows[i].s, rows[i].search, rows[i].replacement), rows[i].expected) << "row " << i + 1;
}

TEST(TextRoutines, SplitString) {
  struct Row {
    Str s;
    std::vector<Str> expected;
  };
  const std::vector<Row> rows = {
      {u"", {u""}},                       // 1 one empty entry
      {u"abc", {u"abc"}},                 // 2 no separator
      {u"a#b#", {u"a", u"b", u""}},       // 3 trailing separator
      {u"#a", {u"", u"a"}},               // 4 leading separator
      {u"a##b", {u"a", u"", u"b"}},       // 5 doubled separator
      {u"#", {u"", u""}},                 // 6 separator only
      {u"b#a#b", {u"b", u"a", u"b"}},     // 7 order and duplicates kept
  };
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(SplitString(u'#', rows[i].s), rows[i].expected) << "row " << i + 1;
  EXPECT_EQ(SplitString(u'\\', u"C:\\a\\b"), (std::vector<Str>{u"C:", u"a", u"b"}));
}

TEST(TextRoutines, ExcludeTrailingSlash) {
  const std::vector<Case> cases = {
      {u"", u""},                  // 1 empty
      {u"C:\\", u"C:"},            // 2 drive root
      {u"C:\\a\\\\", u"C:\\a\\"},  // 3 only one separator goes
      {u"\\", u""},                // 4 a single slash
      {u"/x/", u"/x"},             // 5 forward slash
      {u"C:\\a", u"C:\\a"},        // 6 nothing to remove
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(ExcludeTrailingSlash(cases[i].input), cases[i].expected) << "row " << i + 1;
}

TEST(TextRoutines, ExtractFilePath) {
  const std::vector<Case> cases = {
      {u"C:\\Orvel\\OrvelDraw.exe", u"C:\\Orvel\\"},  // 1 file path
      {u"C:\\Orvel\\", u"C:\\Orvel\\"},               // 2 folder path stays
      {u"C:x.ini", u"C:"},                            // 3 drive-relative
      {u"x.ini", u""},                                // 4 bare name
      {u"\\\\srv\\share\\a", u"\\\\srv\\share\\"},    // 5 network path
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(ExtractFilePath(cases[i].input), cases[i].expected) << "row " << i + 1;
}

TEST(Format, FillsPlaceholdersInOrder) {
  EXPECT_EQ(Format(u"Kopiere %s nach %s", {u"a", u"b"}), u"Kopiere a nach b");
  EXPECT_EQ(Format(u"100%% von %s", {u"x"}), u"100% von x");
  EXPECT_EQ(Format(u"%s", {u"%s"}), u"%s");  // an argument is not searched again
  EXPECT_EQ(Format(u"ohne", {u"überzählig"}), u"ohne");
  EXPECT_EQ(Format(u"50% %d", {}), u"50% %d");  // other percent signs are text
  EXPECT_EQ(Format(u"Ende %", {}), u"Ende %");
}

TEST(Format, MissingArgumentRaisesFrameworkError) {
  try {
    Format(u"Kopiere %s nach %s", {u"a"});
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.message(), u"Kein Argument für Format 'Kopiere %s nach %s'");
  }
}

TEST(ErrorBoxText, FullStopOnlyAfterCharactersAboveIt) {
  const std::vector<Case> cases = {
      {u"Fehler beim Holen der Daten für 'A'", u"Fehler beim Holen der Daten für 'A'"},  // 1 "'" is below "."
      {u"Datei fehlt", u"Datei fehlt."},                                                  // 2 letter
      {u"Wert 12", u"Wert 12."},                                                          // 3 digit
      {u"Achtung!", u"Achtung!"},                                                         // 4 "!"
      {u"(siehe Log)", u"(siehe Log)"},                                                   // 5 ")"
      {u"Ende.", u"Ende."},                                                               // 6 full stop itself
      {u"", u""},                                                                         // 7 empty
      {u"Größe ä", u"Größe ä."},                                                          // 8 non-ASCII letter
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(ErrorBoxText(cases[i].input), cases[i].expected) << "row " << i + 1;
}

// UTF-8 and UTF-16 each way, the ASCII a text begins with and whatever follows
// it: two-, three- and four-byte characters, and bytes that are no character.
TEST(Utf8, ConvertsTextThatBeginsWithAscii) {
  struct Row {
    std::string utf8;
    Str utf16;
  };
  const Row rows[] = {
      {"", u""},                                                      // 1
      {"C:\\bench\\a.txt", u"C:\\bench\\a.txt"},                      // 2 ASCII only
      {"caf\xC3\xA9 \xE4\xB8\x80!", u"caf\u00E9 \u4E00!"},             // 3 then two and three bytes
      {"x\xF0\x9F\x98\x80y", u"x\U0001F600y"},                         // 4 then a surrogate pair
      {"\xC3\xA9" "abc", u"\u00E9abc"},                           // 5 no ASCII first
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(fromUtf8(rows[i].utf8), rows[i].utf16) << "row " << i + 1;
    EXPECT_EQ(toUtf8(rows[i].utf16), rows[i].utf8) << "row " << i + 1;
  }
  // After ASCII: a stray continuation byte, a lead byte cut short, a lone surrogate.
  EXPECT_EQ(fromUtf8("ab\x80" "c\xE4\xB8"), u"ab\uFFFDc\uFFFD\uFFFD");
  EXPECT_EQ(toUtf8(u"ab\xD800" "c"), "ab\xEF\xBF\xBD" "c");
}

}  // namespace
}  // namespace orvel
