#include "common/save_lines.h"

#include "common/error.h"
#include "common/format.h"
#include "platform/files.h"
#include "platform/system.h"

namespace orvel {

void SaveLinesAsAnsiText(const Str& path, const std::vector<Str>& lines) {
  const Result written = files::writeTextLines(path, lines, sys::ansiCodePage());
  if (!written)
    throw Error(Format(u"Datei \"%s\" kann nicht erstellt werden. %s", {path, sys::errorMessage(written.error)}));
}

}  // namespace orvel
