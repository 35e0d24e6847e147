// registry.reg: the text the emulated machine keeps its registry in.
#include "formats/registry_file.h"

#include <gtest/gtest.h>

#include <string>

#include "formats/utf16.h"

namespace orvel::regfile {

using formats::fromUtf16;
using formats::toUtf16;
namespace {

// The written file's text in UTF-8, after checking that it is UTF-16LE with
// its byte-order mark, as regedit writes it.
std::string textOf(const std::string& file) {
  EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(file.size() % 2, 0u);
  return toUtf8(fromUtf16(std::string_view(file).substr(2)));
}

Hives parsed(std::string_view bytes) {
  std::optional<Hives> hives = parse(bytes);
  EXPECT_TRUE(hives.has_value());
  return hives.value_or(Hives{});
}

std::string sz(const Str& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes + std::string(2, '\0');
}

std::string dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

// The writer's whole layout: hives in order, keys in tree order sorted
// without regard to case, values sorted, escapes, dword and hex forms.
TEST(RegistryFile, WritesRegeditExportText) {
  Hives hives;
  KeyNode& orvel = hives.localMachine.ensure({u"Software", u"OrvelDraw"});
  orvel.setValue(u"Language", 1, sz(u"C:\\x\\\"y\".ini"));
  orvel.setValue(u"PortableApplication", 4, dword(12));
  orvel.setValue(u"", 1, sz(u"d\u00e4"));
  orvel.setValue(u"Path", 2, sz(u"%A%"));
  hives.localMachine.ensure({u"Software", u"OrvelDraw", u"b"});
  hives.localMachine.ensure({u"Software", u"OrvelDraw", u"A"});
  hives.localMachine.ensure({u"Software", u"OrvelDraw B"});
  hives.currentUser.ensure({u"Software"}).setValue(u"Bin", 3, std::string("\x01\xff", 2));

  EXPECT_EQ(textOf(write(hives)), kHeader +
                              "[HKEY_CURRENT_USER]\r\n\r\n"
                              "[HKEY_CURRENT_USER\\Software]\r\n"
                              "\"Bin\"=hex:01,ff\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw]\r\n"
                              "@=\"d\xC3\xA4\"\r\n"
                              "\"Language\"=\"C:\\\\x\\\\\\\"y\\\".ini\"\r\n"
                              "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                              "\"PortableApplication\"=dword:0000000c\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\A]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\b]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw B]\r\n\r\n");
}

// Long hex lists are continued after ",\" as regedit wraps them, and read back.
TEST(RegistryFile, WrapsLongHexLists) {
  Hives hives;
  std::string data;
  for (int i = 0; i < 60; ++i) data.push_back(static_cast<char>(i));
  hives.currentUser.setValue(u"Long", 3, data);
  std::string file = write(hives);
  std::string text = textOf(file);
  size_t first = text.find("\"Long\"=hex:00,01,");
  ASSERT_NE(first, std::string::npos);
  size_t lineEnd = text.find("\r\n", first);
  EXPECT_LE(lineEnd - first, 80u);
  EXPECT_EQ(text.substr(lineEnd - 1, 5), "\\\r\n  ");
  EXPECT_EQ(parsed(file), hives);
}

// regedit's own files: LF or CR LF, UTF-16 with BOM, comments, keys whose
// parents are not listed, upper-case hex, continuation lines.
TEST(RegistryFile, ReadsRegeditFiles) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "; a comment\n"
      "[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Orvel]\n"
      "\"Language\"=\"de.ini\"\n"
      "  \"N\" = dword:0000001F  \n"
      "\"H\"=hex(7):41,00,00,00,\\\n"
      "  00,00\n"
      "@=\"\"\n";
  Hives hives = parsed(text);
  const KeyNode* orvel = hives.localMachine.find({u"software", u"ORVELDRAW", u"orvel"});
  ASSERT_NE(orvel, nullptr);
  ASSERT_EQ(orvel->values.size(), 4u);
  EXPECT_EQ(orvel->findValue(u"language")->data, sz(u"de.ini"));
  EXPECT_EQ(orvel->findValue(u"N")->data, dword(31));
  EXPECT_EQ(orvel->findValue(u"H")->type, 7u);
  EXPECT_EQ(orvel->findValue(u"H")->data, std::string("A\0\0\0\0\0", 6));
  EXPECT_EQ(orvel->findValue(u"")->data, sz(u""));

  // The same in UTF-16LE with its byte-order mark, as Windows' regedit saves it.
  std::string utf16 = "\xFF\xFE";
  for (char c : text) utf16 += std::string{c, '\0'};
  EXPECT_EQ(parsed(utf16), hives);
  // And in UTF-8 with its mark, as this machine once wrote it.
  EXPECT_EQ(parsed("\xEF\xBB\xBF" + text), hives);
}

// Anything the registry can hold is written so that it reads back as itself.
TEST(RegistryFile, EveryNameAndValueRoundTrips) {
  const Str names[] = {
      u"plain",          u"with ]bracket",  u"ends with]",      u"\"starts with quote",
      u"two\r\nlines",   Str(u"nul\0x", 5), u"back\\slash",     u"tab\tinside",
      u" blanks ",       u"\xD800lone",     u"pair \U0001F600", u"-minus",
      u"@",              u"\\u0041",        u"semi;colon",      u"\u00e4\u00f6\u00fc",
  };
  Hives hives;
  for (const Str& name : names) {
    KeyNode& key = hives.currentUser.ensure({u"Software", name});
    key.setValue(name, 1, sz(name));
  }
  KeyNode& values = hives.localMachine.ensure({u"Values"});
  values.setValue(u"crlf", 1, sz(u"a\r\nb"));
  values.setValue(u"noTerminator", 1, std::string("a\0", 2));
  values.setValue(u"odd", 1, std::string("abc", 3));
  values.setValue(u"empty", 1, std::string());
  values.setValue(u"shortDword", 4, std::string("\x01\x02\x03", 3));
  values.setValue(u"none", 0, std::string());
  values.setValue(u"qword", 11, std::string("12345678", 8));
  values.setValue(u"custom", 0x12345, std::string("\x00\x01", 2));

  std::string file = write(hives);
  EXPECT_EQ(parsed(file), hives);
  EXPECT_EQ(write(parsed(file)), file);
  std::string text = textOf(file);
  // A string with line breaks is kept as UTF-16 bytes, as regedit writes it.
  EXPECT_NE(text.find("\"crlf\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"shortDword\"=hex(4):01,02,03\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"qword\"=hex(b):"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\with ]bracket]\r\n"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\\"two\\r\\nlines\"]\r\n"), std::string::npos);
}

// A file that cannot be read whole is not read at all: one bad line, a
// stray byte or another encoding is enough, so that a change never writes
// over what could not be read.
TEST(RegistryFile, ReadsAFileWholeOrNotAtAll) {
  const std::string good =
      "Windows Registry Editor Version 5.00\r\n"
      "[HKEY_CURRENT_USER\\Good]\r\n"
      "\"ok\"=\"1\"\r\n";
  EXPECT_TRUE(parse(good).has_value());
  EXPECT_FALSE(parse("\"orphan\"=\"no key yet\"\r\n" + good).has_value());
  for (const char* bad : {
           "\"unterminated=\"x\"\r\n",
           "\"badhex\"=hex:1g,00\r\n",
           "\"baddword\"=dword:123456789\r\n",
           "\"trailing\"=\"x\" junk\r\n",
           "\"unknown\"=str:\"x\"\r\n",
           "garbage line\r\n",
           "\x01\xff stray\r\n",
           "\"v\"=\"\xC3\"\r\n",
           "[HKEY_USERS\\Elsewhere]\r\n",
           "[HKEY_CURRENT_USER\\No\\\\Empty]\r\n",
           "[HKEY_CURRENT_USER\\Unclosed\r\n",
           "[HKEY_CURRENT_USER\\Trailing] x\r\n",
       }) {
    EXPECT_FALSE(parse(good + bad).has_value()) << bad;
    EXPECT_FALSE(parse(bad + good).has_value()) << bad;
  }
  std::string utf16le = "\xFF\xFE" + toUtf16(fromUtf8(good));
  EXPECT_TRUE(parse(utf16le).has_value());
  EXPECT_FALSE(parse(utf16le + "x").has_value()) << "a torn UTF-16 text";
  EXPECT_FALSE(parse("\xFE\xFF" + toUtf16(fromUtf8(good), true)).has_value()) << "big-endian";
  EXPECT_FALSE(parse(toUtf16(fromUtf8(good))).has_value()) << "UTF-16 without its mark";
}

// Blocks appended to a file change what comes before them, as regedit reads
// them: a key with values set, a value deleted, a key deleted.
TEST(RegistryFile, AppendedBlocksApplyInOrder) {
  Hives hives;
  hives.currentUser.ensure({u"A", u"B"}).setValue(u"old", 1, sz(u"x"));
  hives.currentUser.ensure({u"A"}).setValue(u"keep", 4, dword(1));
  std::string file = write(hives);
  file += keyBlock(u"HKEY_CURRENT_USER", {u"a", u"New \"key\""}, {{u"t\u00ebxt", 1, sz(u"t\u00ebxt")}});
  file += keyBlock(u"HKEY_LOCAL_MACHINE", {u"M"}, {});
  file += valueDeletionBlock(u"HKEY_CURRENT_USER", {u"A"}, u"KEEP");
  file += keyDeletionBlock(u"HKEY_CURRENT_USER", {u"A", u"B"});
  Hives expected;
  KeyNode& a = expected.currentUser.ensure({u"A"});
  a.ensureSubKey(u"New \"key\"").setValue(u"t\u00ebxt", 1, sz(u"t\u00ebxt"));
  expected.localMachine.ensure({u"M"});
  EXPECT_EQ(parsed(file), expected);
}

// regedit's deletions: [-key] removes a key with its subkeys, "name"=- a value.
TEST(RegistryFile, AppliesDeletions) {
  Hives hives = parsed(
      "[HKEY_CURRENT_USER\\A\\B\\C]\n"
      "[HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n\"w\"=\"2\"\n"
      "[-HKEY_CURRENT_USER\\A\\B]\n"
      "[HKEY_CURRENT_USER\\A]\n\"V\"=-\n"
      "[-HKEY_CURRENT_USER]\n");
  const KeyNode* a = hives.currentUser.find({u"A"});
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->subKeys.empty());
  ASSERT_EQ(a->values.size(), 1u);
  EXPECT_EQ(a->values[0].name, u"w");
}

// A name that differs only in case is the same key or value; the first
// spelling stays.
TEST(RegistryFile, NamesMatchWithoutRegardToCase) {
  Hives hives = parsed(
      "[HKEY_CURRENT_USER\\Software\\MyKey]\n\"Name\"=\"1\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\MYKEY]\n\"NAME\"=\"2\"\n");
  ASSERT_EQ(hives.currentUser.subKeys.size(), 1u);
  const KeyNode* key = hives.currentUser.find({u"software", u"mykey"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->name, u"MyKey");
  ASSERT_EQ(key->values.size(), 1u);
  EXPECT_EQ(key->values[0].name, u"Name");
  EXPECT_EQ(key->values[0].data, sz(u"2"));
}

}  // namespace
}  // namespace orvel::regfile
