// Conversions between texts and numbers with the framework's rules and error
// texts, and the letter-case helpers that INI names and user paths need.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace orvel {

// A signed 32-bit integer: optional blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "0x", "0X", "x" or "X". Nothing may
// follow. Decimal text must lie in the 32-bit range; hexadecimal text may use
// all 32 bits ("$FFFFFFFF" is -1). Raises Error
// "'<s>' ist kein gültiger Integerwert" otherwise.
int32_t StrToInt(const Str& s);
// StrToInt, or `def` when the text is not such a number.
int32_t StrToIntDef(const Str& s, int32_t def);
// An integer as an INI file holds it: StrToIntDef, but hexadecimal only
// after "0x" or "0X" ("$10" and "x10" give `def`).
int32_t IniStrToIntDef(const Str& s, int32_t def);
// Decimal text, with "-" for a negative value.
Str IntToStr(int64_t value);

// "True" or "False" in any letter case, or a number (0 is false, anything else
// true). Raises Error "'<s>' ist kein gültiger boolescher Wert" otherwise.
bool StrToBool(const Str& s);

// The upper-case form of a text: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic letters; everything else stays.
Str UpperCase(const Str& s);
// Equal without regard to letter case (as UpperCase folds it).
bool SameText(const Str& a, const Str& b);

}  // namespace orvel
