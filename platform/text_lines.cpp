// The text files the program writes whole: 8-bit lines, each ended by CR LF.
#include "platform/files.h"
#include "platform/system.h"

namespace orvel::files {

Result writeTextLines(const Str& path, const std::vector<Str>& lines, unsigned codePage) {
  std::string bytes;
  size_t size = 0;
  for (const Str& line : lines) size += line.size() + 2;
  bytes.reserve(size);  // most lines are a byte a character
  for (const Str& line : lines) {
    bytes += sys::encode(line, codePage);
    bytes += "\r\n";
  }
  return writeFile(path, bytes);
}

}  // namespace orvel::files
