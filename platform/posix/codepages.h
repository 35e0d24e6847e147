// Text <-> 8-bit bytes in the code pages the emulated machine knows.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace orvel::posix {

// 1252, 850, 437, 28591 (ISO 8859-1) and 65001 (UTF-8).
bool knowsCodePage(unsigned codePage);

// Characters the code page lacks become '?'; a code page the machine does not
// know keeps ASCII only.
std::string encodeCodePage(StrView text, unsigned codePage);
Str decodeCodePage(std::string_view bytes, unsigned codePage);

}  // namespace orvel::posix
