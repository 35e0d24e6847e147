// The INI-file service, with the semantics of GetPrivateProfileStringW and
// WritePrivateProfileStringW on a named file.
#pragma once

#include <vector>

#include "platform/types.h"

namespace orvel::profile {

// The longest value the reader gives (its buffer holds 2047 characters).
constexpr size_t kMaxValue = 2047;

// The key names of a section, in file order, first occurrence of each
// (GetPrivateProfileStringW with a null key). Section names match without
// regard to letter case. A missing file or section gives an empty list.
std::vector<Str> sectionKeys(const Str& file, const Str& section);

// GetPrivateProfileStringW: the value of the first matching key (section and
// key without regard to letter case), blanks around it removed, one pair of
// enclosing double or single quotes removed, cut after kMaxValue characters;
// `def` when the file, section or key is missing.
Str readString(const Str& file, const Str& section, const Str& key, const Str& def);

// WritePrivateProfileStringW: replaces the value of an existing key, or adds
// the key at the end of its section, or adds the section at the end of the
// file. A new or empty file is written as 8-bit text in the ANSI code page;
// an existing file keeps its encoding.
Result writeString(const Str& file, const Str& section, const Str& key, const Str& value);

}  // namespace orvel::profile
