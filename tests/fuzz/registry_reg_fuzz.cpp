// Reads arbitrary bytes as registry.reg; whatever tree comes out must be
// written so that it reads back as the same tree, and the written text must
// be a fixed point of reading and writing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/posix/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::posix::regfile;
  const Hives first = parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = write(first);
  const Hives second = parse(text);
  if (!(second == first)) std::abort();
  if (write(second) != text) std::abort();
  return 0;
}
