// An 8-bit text file written from start to end: created (or emptied) when it
// is opened, its bytes in one code page, put on disk when it is closed.
#pragma once

#include <string>

#include "platform/types.h"

namespace orvel {

class TextFileStream {
 public:
  // Creates the file or cuts an existing one to length 0. Raises Error
  // "Datei "<path>" kann nicht erstellt werden. <reason>" when it cannot.
  TextFileStream(Str path, unsigned codePage);
  TextFileStream(const TextFileStream&) = delete;
  TextFileStream& operator=(const TextFileStream&) = delete;

  const Str& path() const { return path_; }
  unsigned codePage() const { return codePage_; }

  void write(const std::string& bytes) { bytes_ += bytes; }
  // Everything written so far.
  const std::string& bytes() const { return bytes_; }
  // Replaces the file's contents with everything written, in one step, so
  // that nobody reads half a file. Raises the same Error when it cannot.
  void close();

 private:
  [[noreturn]] void fail(uint32_t error) const;

  Str path_;
  unsigned codePage_;
  std::string bytes_;
};

}  // namespace orvel
