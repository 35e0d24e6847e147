#include "platform/posix/fold_case.h"

namespace orvel::posix {

char16_t foldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  // Latin-1: À..Þ without the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  // Latin Extended-A: pairs of capital (even) and small (odd) letters, with
  // the stretches 0x139..0x148 and 0x179..0x17E paired the other way round.
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (c == 0x178) return 0xFF;
    bool oddIsCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    bool capital = oddIsCapital ? (c & 1) != 0 : (c & 1) == 0;
    return capital ? static_cast<char16_t>(c + 1) : c;
  }
  // Greek capitals Α..Ω (0x3A2 is unassigned).
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  // Cyrillic: Ѐ..Џ and А..Я.
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  return c;
}

int compareNoCase(StrView a, StrView b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = foldCase(a[i]);
    char16_t y = foldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

Str foldedCase(StrView s) {
  Str out(s);
  for (char16_t& c : out) c = foldCase(c);
  return out;
}

bool equalNoCase(StrView a, StrView b) { return a.size() == b.size() && compareNoCase(a, b) == 0; }

}  // namespace orvel::posix
