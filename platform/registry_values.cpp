// The two value types the program writes, in the byte form the registry
// stores them in (little-endian), shared by both backends.
#include <algorithm>

#include "platform/registry.h"

namespace orvel::reg {

Value makeString(const Str& s) {
  // UTF-16LE with its terminating NUL, as RegSetValueExW stores a REG_SZ.
  Value v{kSz, {}};
  for (char16_t c : s) {
    v.data.push_back(static_cast<char>(c & 0xFF));
    v.data.push_back(static_cast<char>(c >> 8));
  }
  v.data.append(2, '\0');
  return v;
}

Value makeDword(uint32_t v) {
  Value value{kDword, {}};
  for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<char>((v >> shift) & 0xFF));
  return value;
}

Str stringOf(const Value& v) {
  Str s;
  for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
    auto c = static_cast<char16_t>(static_cast<unsigned char>(v.data[i]) |
                                   (static_cast<unsigned char>(v.data[i + 1]) << 8));
    if (c == u'\0') break;  // stored text may or may not carry its NUL, or several
    s.push_back(c);
  }
  return s;
}

uint32_t dwordOf(const Value& v) {
  uint32_t d = 0;
  for (size_t i = 0; i < std::min<size_t>(v.data.size(), 4); ++i)
    d |= static_cast<uint32_t>(static_cast<unsigned char>(v.data[i])) << (8 * i);
  return d;
}

}  // namespace orvel::reg
