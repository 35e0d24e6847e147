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

// Every character that a code page writes reads back as itself, and every
// byte that a single-byte page reads is written back as that byte: a sweep
// over the first characters, which are written from a table of their own.
TEST(CodePages, WrittenCharactersReadBack) {
  for (unsigned codePage : {1252u, 1251u, 1253u, 850u, 437u, 932u, 949u}) {
    SCOPED_TRACE("code page " + std::to_string(codePage));
    size_t written = 0;
    for (unsigned c = 1; c < 0x400; ++c) {
      const Str text(1, static_cast<char16_t>(c));
      const std::string bytes = encodeCodePage(text + u"\u4E00" + text, codePage);
      const std::string alone = encodeCodePage(text, codePage);
      if (alone == "?" && c != u'?') continue;
      ++written;
      EXPECT_EQ(decodeCodePage(alone, codePage), text) << "U+" << std::hex << c;
      EXPECT_EQ(bytes.substr(0, alone.size()), alone) << "U+" << std::hex << c;
      EXPECT_EQ(bytes.substr(bytes.size() - alone.size()), alone) << "U+" << std::hex << c;
    }
    EXPECT_GE(written, 128u);
    if (codePage == 932 || codePage == 949) continue;
    for (unsigned b = 1; b < 256; ++b) {
      const std::string byte(1, static_cast<char>(b));
      const Str read = decodeCodePage(byte, codePage);
      if (read != u"\uFFFD") {
        EXPECT_EQ(encodeCodePage(read, codePage), byte) << "byte " << b;
      }
    }
  }
}

}  // namespace
}  // namespace orvel::posix
