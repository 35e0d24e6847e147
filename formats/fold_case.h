// Letter case as Windows compares names: the file system, the registry and
// the profile functions upper-case each UTF-16 unit on its own with one table
// over the basic plane (no letter becomes two, no surrogate pair folds), and
// compare the results.
#pragma once

#include "platform/types.h"

namespace orvel::formats {

char16_t upcase(char16_t c);
Str upcased(StrView s);
// upcased() in place, for a caller that has its own room for the name.
void upcaseEach(char16_t* units, size_t count);
bool equalNoCase(StrView a, StrView b);
// <0, 0 or >0, like memcmp, for names in the order Wine enumerates registry
// keys in, that of their lower-case forms; 0 exactly for names that
// equalNoCase finds equal.
int compareNoCase(StrView a, StrView b);

struct NoCaseLess {
  bool operator()(StrView a, StrView b) const { return compareNoCase(a, b) < 0; }
};

}  // namespace orvel::formats
