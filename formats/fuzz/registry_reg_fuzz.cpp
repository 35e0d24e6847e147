// Reads arbitrary bytes as registry.reg; whatever tree comes out of a file
// that reads whole must be written so that it reads back as the same tree,
// and the written text must be a fixed point of reading and writing. The
// part read before a torn change is a prefix; a written file with its end
// mark reads whole, as the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "formats/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::regfile;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (wholePart(bytes).size > size) std::abort();
  const std::optional<Hives> first = parse(bytes);
  if (!first) return 0;
  const std::string text = write(*first);
  const std::optional<Hives> second = parse(text);
  if (!second || !(*second == *first)) std::abort();
  if (write(*second) != text) std::abort();
  const std::string marked = text + endMark();
  const WholePart part = wholePart(marked);
  if (!part.marked || part.size != marked.size()) std::abort();
  const std::optional<Hives> third = parse(marked);
  if (!third || !(*third == *first)) std::abort();
  return 0;
}
