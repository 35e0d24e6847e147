#include "formats/utf16.h"

namespace orvel::formats {

Str fromUtf16(std::string_view bytes, bool bigEndian) {
  Str text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    text.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  return text;
}

std::string toUtf16(StrView text, bool bigEndian) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    char lo = static_cast<char>(c & 0xFF);
    char hi = static_cast<char>(c >> 8);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  }
  return bytes;
}

}  // namespace orvel::formats
