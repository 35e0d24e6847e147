// Saving a log: its lines as one text file.
#pragma once

#include <vector>

#include "platform/types.h"

namespace orvel {

// Writes every line to `path` as 8-bit text in the ANSI code page, each line
// ended by CR LF, replacing the file. Raises Error
// "Datei "<path>" kann nicht erstellt werden. <reason>" when it cannot.
void SaveLinesAsAnsiText(const Str& path, const std::vector<Str>& lines);

}  // namespace orvel
