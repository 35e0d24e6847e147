// Windows paths and host paths as text: what the machine's look-up and every
// service need of a path before any file is looked at.
#pragma once

#include <string>

#include "platform/types.h"

namespace orvel::posix {

bool isDriveLetter(char16_t c);
bool isSeparator(char16_t c);
// Where the first separator at or after `from` lies, or npos.
size_t findSeparator(StrView path, size_t from);
// "X:\..." or "\\server\share...": a path that names its volume.
bool isAbsoluteWindowsPath(StrView path);
// Whether a name in the path (after its volume) holds a character Windows
// forbids in file names: < > : " | ? * or a control character.
bool hasForbiddenCharacter(StrView fullPath);
// The folder part of a host path ("/a/b" -> "/a", "/a" -> "/").
std::string hostParent(const std::string& hostPath);

}  // namespace orvel::posix
