// Text <-> 8-bit bytes in the code pages the emulated machine knows.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace orvel::posix {

// The ANSI code pages 874, 932, 936, 949, 950 and 1250 to 1258, the OEM code
// pages 437, 850, 852 and 866, 28591 (ISO 8859-1) and 65001 (UTF-8).
bool knowsCodePage(unsigned codePage);

// As WideCharToMultiByte without best fit: a character the code page lacks
// becomes '?', one for each UTF-16 unit. Bytes that are no character read as
// U+FFFD. A code page the machine does not know keeps ASCII only.
std::string encodeCodePage(StrView text, unsigned codePage);
Str decodeCodePage(std::string_view bytes, unsigned codePage);

}  // namespace orvel::posix
