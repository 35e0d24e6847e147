// The text files the program writes whole: 8-bit lines, each ended by CR LF.
#include "platform/files.h"
#include "platform/system.h"

namespace orvel::files {

Result writeTextLines(const Str& path, const std::vector<Str>& lines, unsigned codePage) {
  std::string bytes;
  for (const Str& line : lines) {
    bytes += sys::encode(line, codePage);
    bytes += "\r\n";
  }
  return writeFile(path, bytes);
}

}  // namespace orvel::files
