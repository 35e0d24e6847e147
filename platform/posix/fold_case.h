// Comparing names without regard to letter case, as the registry and the
// profile functions of Windows do. Letters of the Latin, Greek and Cyrillic
// scripts fold; everything else compares by its code unit. Order is that of
// the lower-case forms, which is the order Wine enumerates registry keys in.
#pragma once

#include "platform/types.h"

namespace orvel::posix {

char16_t foldCase(char16_t c);
bool equalNoCase(StrView a, StrView b);
// Every code unit folded: equal for names that equalNoCase finds equal.
Str foldedCase(StrView s);
// <0, 0 or >0, like memcmp, on the folded code units.
int compareNoCase(StrView a, StrView b);

struct NoCaseLess {
  bool operator()(StrView a, StrView b) const { return compareNoCase(a, b) < 0; }
};

}  // namespace orvel::posix
