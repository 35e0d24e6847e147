// An 8-bit text file written from start to end, its bytes in one code page,
// put on disk when it is closed, in one step: until then the file stays as
// it was, so that a process killed while writing leaves the old file or the
// new one, never an emptied or a torn one.
#pragma once

#include <string>

#include "platform/types.h"

namespace orvel {

class TextFileStream {
 public:
  TextFileStream(Str path, unsigned codePage);
  TextFileStream(const TextFileStream&) = delete;
  TextFileStream& operator=(const TextFileStream&) = delete;

  const Str& path() const { return path_; }
  unsigned codePage() const { return codePage_; }

  void write(const std::string& bytes) { bytes_ += bytes; }
  // Everything written so far.
  const std::string& bytes() const { return bytes_; }
  // Creates the file, or replaces an existing one, with everything written.
  // Raises Error "Datei "<path>" kann nicht erstellt werden. <reason>" when
  // it cannot.
  void close();

 private:
  [[noreturn]] void fail(uint32_t error) const;

  Str path_;
  unsigned codePage_;
  std::string bytes_;
};

}  // namespace orvel
