#include "setup/text_file_stream.h"

#include "common/error.h"
#include "common/format.h"
#include "platform/files.h"
#include "platform/system.h"

namespace orvel {

TextFileStream::TextFileStream(Str path, unsigned codePage) : path_(std::move(path)), codePage_(codePage) {}

void TextFileStream::close() {
  if (const Result written = files::writeFile(path_, bytes_); !written) fail(written.error);
}

void TextFileStream::fail(uint32_t error) const {
  throw Error(Format(u"Datei \"%s\" kann nicht erstellt werden. %s", {path_, sys::errorMessage(error)}));
}

}  // namespace orvel
