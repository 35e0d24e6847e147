// The process and the machine it runs on: user, language, rights, folders,
// time, command line and 8-bit code pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace orvel::sys {

// WNetGetUserW for the current user into a buffer of `bufferChars`
// characters: the name, or nothing when the call fails (also when the name
// does not fit the buffer).
std::optional<Str> networkUserName(size_t bufferChars);

// GetUserDefaultLangID.
uint16_t userDefaultLangId();

// Whether the process runs as a member of the local Administrators group
// (on Windows: the token's group list holds S-1-5-32-544, also for deny only).
bool isAdministrator();

// GetTempPathW with a buffer of `bufferChars` characters; ends with "\".
// Nothing when the call fails or the path does not fit.
std::optional<Str> tempPath(size_t bufferChars);

// Sleep. The emulated machine scales it by its SleepScale.
void sleepMs(uint32_t milliseconds);

// The full path of the running executable (GetModuleFileNameW), as a
// Windows path.
Str modulePath();

// The command line as arguments; argument 0 is the program as started.
std::vector<Str> commandLineArguments();

// The code pages of 8-bit text (GetACP) and of the command interpreter (GetOEMCP).
unsigned ansiCodePage();
unsigned oemCodePage();

// Text <-> 8-bit bytes in a code page (1252, 850, 437 and the others the
// platform knows). Characters the code page lacks become '?'.
std::string encode(const Str& text, unsigned codePage);
Str decode(const std::string& bytes, unsigned codePage);

// The system's text for an error code (FormatMessageW), without a trailing
// line break.
Str errorMessage(uint32_t code);

}  // namespace orvel::sys
