// Decodes arbitrary bytes as a .lnk file; whatever is accepted must encode
// and decode again to the same shortcut's texts and numbers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/lnk_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::lnk;
  const auto link = decode(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!link) return 0;
  // A re-encoded link loses only what the encoder does not write: a target
  // it cannot express, and texts beyond a string field's 65535 units.
  const auto again = decode(encode(*link));
  if (!again) std::abort();
  if (again->description != link->description || again->arguments != link->arguments ||
      again->workingDirectory != link->workingDirectory || again->iconLocation != link->iconLocation ||
      again->iconIndex != link->iconIndex || again->hotKey != link->hotKey ||
      again->showCommand != link->showCommand)
    std::abort();
  return 0;
}
