// The program's small utility routines: starting files, the administrator
// check, the default language file, the temporary folder, special folders,
// and six pure text routines. They keep no state, show no messages and raise
// no errors of their own.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace orvel {

namespace gui {
class Form;
}

// ShellExecuteW with no verb; returns the shell's code (above 32: started).
// Nothing is reported. What the shell shows is owned by `owner`'s window (the
// program's main window, so that it stays in front of it), or by none.
intptr_t LaunchFile(const Str& fileName, const Str& parameters, const Str& directory, int showCommand,
                    const gui::Form* owner = nullptr);
// Member of the local Administrators group (false on any failure).
bool IsAdministrator();
// Program folder + "languages\" + the file for the user's language
// ("english.ini", "espanol.ini", "dutch.ini"; the folder itself for German).
Str DefaultLanguageFile();
// The user's temporary folder with a trailing "\".
Str TempDirectory();
// The path of a shell special folder without a trailing "\", or empty.
Str GetSpecialFolder(int csidl);

Str QuoteIfSpaces(const Str& s);
Str StripQuotes(const Str& s);
Str UnescapeQuot(const Str& s);
Str ReplaceAll(const Str& s, const Str& search, const Str& replacement);
std::vector<Str> SplitString(char16_t separator, const Str& s);
Str ExcludeTrailingSlash(const Str& s);
// The folder path with one trailing "\" (an empty path becomes "\").
Str IncludeTrailingBackslash(const Str& path);

// The drive part of a path: "C:" for a drive path, "\\server\share" for a
// network path, empty otherwise.
Str ExtractFileDrive(const Str& path);

// The folder part of a path: everything up to and including its last "\"
// (or ":"), empty when it has neither.
Str ExtractFilePath(const Str& path);
// The folder of the running program with a trailing "\".
Str ProgramFolder();

// Whether a copy from `source` onto `target` would copy a file onto itself:
// the same text without regard to case, or the same existing file under
// another spelling. Deleting the target first would delete the source.
bool SameFile(const Str& source, const Str& target);
// Clears the read-only attribute of an existing file, keeping the others, so
// that it can be deleted or replaced. A failure shows in that later step.
void ClearReadOnly(const Str& path);

}  // namespace orvel
