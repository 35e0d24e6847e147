// Text as UTF-16 bytes, in either byte order, for the files the emulated
// machine reads and writes in that form (INI files, registry.reg).
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace orvel::formats {

// A last odd byte is left out.
Str fromUtf16(std::string_view bytes, bool bigEndian = false);
std::string toUtf16(StrView text, bool bigEndian = false);

}  // namespace orvel::formats
