// Reads arbitrary bytes as INI text in each encoding (as they come, and behind
// each byte-order mark). Unchanged text must give back its bytes; every key
// a section lists must have a value; a written entry must read back and leave
// the other sections' keys alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/ini_text.h"

namespace {

using namespace orvel;
using namespace orvel::ini;

// ISO 8859-1 stands in for the ANSI code page: every byte is a character.
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

void check(bool condition) {
  if (!condition) std::abort();
}

void checkText(const std::string& bytes) {
  Document doc = Document::parse(bytes, latin1);
  bool lossless = doc.encoding() == Encoding::Ansi ||
                  ((doc.encoding() == Encoding::Utf16Le || doc.encoding() == Encoding::Utf16Be) &&
                   bytes.size() % 2 == 0);
  if (lossless) check(doc.bytes(toLatin1) == bytes);

  const Str sections[] = {u"", u"A", u"a b"};
  std::vector<std::vector<Str>> before;
  for (const Str& section : sections) {
    before.push_back(doc.keys(section));
    for (const Str& key : before.back()) check(doc.value(section, key).has_value());
  }

  doc.set(u"Fuzz", u"Key", u"value \"x\"");
  Document again = Document::parse(doc.bytes(toLatin1), latin1);
  check(again.value(u"fuzz", u"key") == Str(u"value \"x\""));
  for (size_t i = 0; i < std::size(sections); ++i) check(again.keys(sections[i]) == before[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  checkText(bytes);
  checkText("\xEF\xBB\xBF" + bytes);
  checkText("\xFF\xFE" + bytes);
  checkText("\xFE\xFF" + bytes);
  return 0;
}
