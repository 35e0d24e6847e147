// Fuzzes the association list of an association rewrite: taking pairs off
// the list always ends, never loses or invents text, and every flag either
// reads as a Boolean or raises the framework's error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/convert.h"
#include "common/error.h"
#include "updater/association_list.h"

namespace {

using orvel::Str;

void check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "violated: %s\n", what);
    abort();
  }
}

bool hasBlank(const Str& s) { return s.find(u' ') != Str::npos; }

void fuzzFlag(const Str& flag) {
  try {
    (void)orvel::StrToBool(flag);
  } catch (const orvel::Error& e) {
    check(e.message() == u"'" + flag + u"' ist kein gültiger boolescher Wert", "the conversion error's text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Str list = orvel::fromUtf8(bytes);
  size_t blanks = 0;
  for (char16_t c : list) blanks += c == u' ';
  size_t pairs = 0;
  for (;;) {
    const Str before = list;
    const auto pair = orvel::TakeAssociationPair(list);
    if (!pair) {
      check(!hasBlank(before) && list == before, "a list with a blank gave no pair, or the rest changed");
      break;
    }
    check(++pairs <= blanks, "more pairs than blanks");
    check(!hasBlank(pair->extension) && !hasBlank(pair->flagText), "a blank inside a token");
    check(list.size() < before.size() && before.ends_with(list), "the rest is not what follows the pair");
    const Str taken = before.substr(0, before.size() - list.size());
    const bool whole = taken == pair->extension + u" " + pair->flagText + u" ";
    // Without a blank after the extension the flag is empty and the rest stays.
    const bool lastWithoutBlank = taken == pair->extension + u" " && pair->flagText.empty() && !hasBlank(list);
    check(whole || lastWithoutBlank, "the pair is not the text taken");
    fuzzFlag(pair->flagText);
  }
  return 0;
}
