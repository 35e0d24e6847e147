// Comma text, the notation of item lists in language files, and looking up a
// key in the translation list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/language_file.h"

namespace orvel {
namespace {

using Items = std::vector<Str>;

struct CommaCase {
  const char16_t* text;
  Items items;
};

TEST(CommaText, ParsesQuotedAndPlainItems) {
  const CommaCase cases[] = {
      /* 1 */ {u"", {}},
      /* 2 */ {u"  \t\r\n", {}},
      /* 3 */ {u"\"a b\",c", {u"a b", u"c"}},
      /* 4 */ {u"a b", {u"a", u"b"}},                       // a blank ends a plain item
      /* 5 */ {u"a,b,c", {u"a", u"b", u"c"}},
      /* 6 */ {u"  a ,  b", {u"a", u"b"}},                  // blanks around items and commas go
      /* 7 */ {u"\"say \"\"hi\"\"\",x", {u"say \"hi\"", u"x"}},  // "" is one quote
      /* 8 */ {u"a,", {u"a", u""}},                         // a comma at the end adds an empty item
      /* 9 */ {u"a, ", {u"a"}},                             // not when blanks follow it
      /* 10 */ {u",", {u"", u""}},
      /* 11 */ {u",,a", {u"", u"", u"a"}},
      /* 12 */ {u"\"\",b", {u"", u"b"}},
      /* 13 */ {u"\"x\"y", {u"x", u"y"}},                   // the quote ends the item; y starts the next
      /* 14 */ {u"a\"b\"", {u"a\"b\""}},                    // a quote inside a plain item is plain text
      /* 15 */ {u"\"open, never closed", {u"open, never closed"}},
      /* 16 */ {u"\"ends in a doubled \"\"", {u"ends in a doubled \""}},
      /* 17 */ {u"a\x7f" u"b,\u00e9t\u00e9", {u"a\x7f" u"b", u"\u00e9t\u00e9"}},  // only codes up to 32 separate
      /* 18 */ {u"\"A\",\"B\"", {u"A", u"B"}},
      /* 19 */ {u"\"A,B\"", {u"A,B"}},
      /* 20 */ {u"\"\"A\",\"B\"\"", {u"", u"A\"", u"B\""}},  // "" at the start is an empty item
  };
  int row = 0;
  for (const CommaCase& c : cases) {
    ++row;
    EXPECT_EQ(ParseCommaText(c.text), c.items) << "row " << row;
  }
}

// A NUL character ends the text, as it ends the framework's character string.
TEST(CommaText, NulEndsTheText) {
  const Str text(u"a,b\0c,d", 7);
  EXPECT_EQ(ParseCommaText(text), (Items{u"a", u"b"}));
  EXPECT_EQ(ParseCommaText(Str(u"\"q\0r\"", 5)), Items{u"q"});
  EXPECT_EQ(ParseCommaText(Str(u"\0a", 2)), Items{});
}

TEST(TranslationList, FirstLineOfTheKeyWinsInAnyLetterCase) {
  TranslationList list({u"BInstall=Install", u"binstall=second", u"BInstall.Hint=Hint", u"no equals sign",
                        u"Empty=", u"Formula=a=b", u"=no key", u"\u00c4rger=umlaut"});
  EXPECT_EQ(list.Value(u"BInstall"), u"Install");
  EXPECT_EQ(list.Value(u"BINSTALL"), u"Install");
  EXPECT_EQ(list.Value(u"binstall.hint"), u"Hint");
  EXPECT_EQ(list.Value(u"BInstal"), u"");          // a prefix of a key is not the key
  EXPECT_EQ(list.Value(u"BInstall.Hint.X"), u"");
  EXPECT_EQ(list.Value(u"no equals sign"), u"");   // a line without "=" carries nothing
  EXPECT_EQ(list.Value(u"Empty"), u"");
  EXPECT_EQ(list.Value(u"Formula"), u"a=b");       // everything after the first "="
  EXPECT_EQ(list.Value(u"Missing"), u"");
  EXPECT_EQ(list.Value(u"\u00e4rger"), u"umlaut");
}

// Appended lines come later, so an equal key already in the list keeps its value.
TEST(TranslationList, AppendedLinesLoseToEarlierOnes) {
  TranslationList installation;
  installation.Add(u"Caption", u"from Installation");
  TranslationList common;
  common.Add(u"caption", u"from Common");
  common.Add(u"BClose", u"Close");
  installation.Append(common);
  EXPECT_EQ(installation.Lines(),
            (Items{u"Caption=from Installation", u"caption=from Common", u"BClose=Close"}));
  EXPECT_EQ(installation.Value(u"CAPTION"), u"from Installation");
  EXPECT_EQ(installation.Value(u"bclose"), u"Close");
}

}  // namespace
}  // namespace orvel
