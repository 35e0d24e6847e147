// Fuzzes the comma-text parser with arbitrary UTF-16 text (every code unit,
// NUL and lone surrogates included). The items must come back unchanged when
// written as fully quoted comma text and parsed again; a NUL ends the text;
// and an item never holds more than the text had.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/language_file.h"

namespace {

using orvel::Str;

void check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "violated: %s\n", what);
    abort();
  }
}

// Every item in double quotes, a quote inside doubled, separated by commas:
// the form that reads back as exactly these items.
Str quoted(const std::vector<Str>& items) {
  Str text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += u',';
    text += u'"';
    for (char16_t c : items[i]) {
      if (c == u'"') text += u'"';
      text += c;
    }
    text += u'"';
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Str text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));

  const std::vector<Str> items = orvel::ParseCommaText(text);
  const Str beforeNul = text.substr(0, text.find(u'\0'));
  check(orvel::ParseCommaText(beforeNul) == items, "text after a NUL changed the items");

  size_t characters = 0;
  for (const Str& item : items) {
    check(item.find(u'\0') == Str::npos, "an item holds a NUL");
    characters += item.size();
  }
  check(characters <= beforeNul.size(), "the items hold more characters than the text");
  check(items.size() <= beforeNul.size() + 1, "more items than the text can separate");

  check(orvel::ParseCommaText(quoted(items)) == items, "quoted items read back differently");
  return 0;
}
