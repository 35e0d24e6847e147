// Windows' upper-case table, from ICU's simple case mapping. The table in
// Windows since Vista (the one NTFS writes into each volume's $UpCase) holds
// only the case pairs of Unicode 5.0, and of those only the letters whose
// capital lower-cases back to them, and the final sigma. So Georgian
// Mkhedruli letters stay as they are (their capitals, Mtavruli, came with
// Unicode 11), while the older Nuskhuri letters fold to Asomtavruli; the
// dotless ı, the long ſ and the micro sign µ stay (their capitals are I, S
// and the Greek Μ, whose small letters are others); ß has no one-letter
// capital and stays too. Names compare equal exactly where that table makes
// them equal; only for Ⱥ ⱥ, Ⱦ ⱦ, ῃ ῌ and ῳ ῼ does Windows' table name the
// small letter as the pair's form, which only a folder listing's order shows.
#include "formats/fold_case.h"

#include <unicode/uchar.h>

namespace orvel::formats {
namespace {

bool inUnicode5(UChar32 c) {
  UVersionInfo age;
  u_charAge(c, age);
  return age[0] < 5 || (age[0] == 5 && age[1] == 0);
}

// The key names sort by: the lower-case form of the name's capital, where
// that lower-cases back to the same capital, else the capital itself; equal
// keys are equal capitals, since upcase leaves capitals as they are.
char16_t orderKey(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  const char16_t capital = upcase(c);
  const UChar32 small = u_tolower(capital);
  if (small > 0xFFFF || upcase(static_cast<char16_t>(small)) != capital) return capital;
  return static_cast<char16_t>(small);
}

}  // namespace

char16_t upcase(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  const UChar32 capital = u_toupper(c);
  if (capital == c || capital > 0xFFFF) return c;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (u_tolower(capital) != c || !inUnicode5(c) || !inUnicode5(capital)) return c;
  return static_cast<char16_t>(capital);
}

Str upcased(StrView s) {
  Str out(s);
  upcaseEach(out.data(), out.size());
  return out;
}

void upcaseEach(char16_t* units, size_t count) {
  // Names are mostly ASCII: those letters without the call, all at once.
  char16_t all = 0;
  for (size_t i = 0; i < count; ++i) all |= units[i];
  if (all < 0x80) {
    for (size_t i = 0; i < count; ++i)
      units[i] = static_cast<char16_t>(units[i] - (units[i] >= u'a' && units[i] <= u'z' ? 0x20 : 0));
    return;
  }
  for (size_t i = 0; i < count; ++i) units[i] = upcase(units[i]);
}

int compareNoCase(StrView a, StrView b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = orderKey(a[i]);
    char16_t y = orderKey(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool equalNoCase(StrView a, StrView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upcase(a[i]) != upcase(b[i])) return false;
  return true;
}

}  // namespace orvel::formats
