// What the emulated machine reads where Windows' tables name no character.
#include "machine/codepages.h"

#include <gtest/gtest.h>

namespace orvel::posix {
namespace {

TEST(CodePages, BytesThatAreNoCharacter) {
  struct Row {
    unsigned codePage;
    std::string bytes;
    Str text;
  };
  const Row rows[] = {
      {1253, "a\xAA" "b", u"a\uFFFDb"},        // 1 a byte 1253 leaves undefined
      {1251, "\x98", u"\u0098"},               // 2 undefined, below 0xA0: its C1 control
      {932, "\x82\xA0\x82", u"あ\uFFFD"},       // 3 a lead byte at the end
      {932, "\x82" "A\x82\xA0", u"\uFFFDAあ"},  // 4 a lead byte before a byte it makes nothing with
      {949, "\xC7\xD1\x41", u"한A"},           // 5 a pair, then ASCII
      {20127, "a\xE9", u"a?"},                 // 6 a code page the machine does not know: ASCII
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(decodeCodePage(rows[i].bytes, rows[i].codePage), rows[i].text) << "row " << i + 1;
  EXPECT_EQ(encodeCodePage(u"aé", 20127), "a?");
  EXPECT_TRUE(knowsCodePage(1258));
  EXPECT_FALSE(knowsCodePage(20127));
}

}  // namespace
}  // namespace orvel::posix
