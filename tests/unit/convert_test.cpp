// Text to number conversions with the framework's rules and error texts.
#include <gtest/gtest.h>

#include <vector>

#include "common/convert.h"
#include "common/error.h"

namespace orvel {
namespace {

TEST(Convert, StrToIntAcceptsTheFrameworksNumbers) {
  struct Row {
    Str text;
    int32_t expected;
  };
  const std::vector<Row> rows = {
      {u"12", 12},                    // 1 decimal
      {u"-12", -12},                  // 2 negative
      {u"+7", 7},                     // 3 explicit plus
      {u"  42", 42},                  // 4 leading blanks
      {u"0x1F", 31},                  // 5 C hex prefix
      {u"$ff", 255},                  // 6 Pascal hex prefix
      {u"X10", 16},                   // 7 bare x prefix
      {u"2147483647", INT32_MAX},     // 8 largest
      {u"-2147483648", INT32_MIN},    // 9 smallest
      {u"$FFFFFFFF", -1},             // 10 hex uses all 32 bits
      {u"-0x10", -16},                // 11 sign before hex
      {u"007", 7},                    // 12 leading zeros
  };
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(StrToInt(rows[i].text), rows[i].expected) << "row " << i + 1;
}

TEST(Convert, StrToIntRejectsEverythingElse) {
  const std::vector<Str> bad = {
      u"",             // 1 empty
      u"12 ",          // 2 trailing blank
      u"1.5",          // 3 fraction
      u"2147483648",   // 4 one past the largest
      u"-2147483649",  // 5 one below the smallest
      u"0x",           // 6 prefix without digits
      u"$100000000",   // 7 more than 32 bits
      u"abc",          // 8 letters
      u"-",            // 9 sign only
      u"1e3",          // 10 exponent
      u"\t5",          // 11 a tab is no blank
      u"١٢",           // 12 other digits
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    try {
      StrToInt(bad[i]);
      ADD_FAILURE() << "row " << i + 1 << " was accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.message(), u"'" + bad[i] + u"' ist kein gültiger Integerwert") << "row " << i + 1;
    }
    EXPECT_EQ(StrToIntDef(bad[i], -5), -5) << "row " << i + 1;
  }
}

TEST(Convert, IntToStr) {
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(-2147483648LL), u"-2147483648");
  EXPECT_EQ(IntToStr(4294967295LL), u"4294967295");
}

TEST(Convert, StrToBool) {
  struct Row {
    Str text;
    bool expected;
  };
  const std::vector<Row> rows = {
      {u"True", true}, {u"tRUE", true}, {u"False", false}, {u"FALSE", false},  // 1-4 words, any case
      {u"0", false},   {u"1", true},    {u"-1", true},     {u"$0", false},     // 5-8 integers
      {u"0.0", false}, {u"0.5", true},  {u"2e3", true},                        // 9-11 decimals
  };
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(StrToBool(rows[i].text), rows[i].expected) << "row " << i + 1;
  for (const Str& bad : {Str(u"yes"), Str(u""), Str(u"Truee"), Str(u"1,5")}) {
    try {
      StrToBool(bad);
      ADD_FAILURE() << toUtf8(bad) << " was accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.message(), u"'" + bad + u"' ist kein gültiger boolescher Wert");
    }
  }
}

TEST(Convert, LetterCase) {
  EXPECT_EQ(UpperCase(u"c:\\users\\%username%"), u"C:\\USERS\\%USERNAME%");
  EXPECT_EQ(UpperCase(u"größe ÿ łódź юг"), u"GRÖßE Ÿ ŁÓDŹ ЮГ");  // ß has no one-letter capital
  EXPECT_TRUE(SameText(u"Orvel", u"ORVEL"));
  EXPECT_TRUE(SameText(u"Übung", u"üBUNG"));
  EXPECT_FALSE(SameText(u"Orvel", u"Orvel "));
  EXPECT_FALSE(SameText(u"a", u"b"));
}

}  // namespace
}  // namespace orvel
