#include "platform/types.h"

#include <type_traits>

namespace orvel {

Str fromUtf16Bytes(std::string_view bytes, ByteOrder order) {
  const bool big = order == ByteOrder::BigEndian;
  Str text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto lo = static_cast<unsigned char>(bytes[i + (big ? 1 : 0)]);
    const auto hi = static_cast<unsigned char>(bytes[i + (big ? 0 : 1)]);
    text.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  return text;
}

std::string toUtf16Bytes(StrView text, ByteOrder order) {
  const bool big = order == ByteOrder::BigEndian;
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    bytes.push_back(big ? hi : lo);
    bytes.push_back(big ? lo : hi);
  }
  return bytes;
}

namespace {

// The length of the ASCII text that `s` begins with.
template <typename Unit>
size_t asciiPrefix(std::basic_string_view<Unit> s) {
  size_t n = 0;
  while (n < s.size() && static_cast<std::make_unsigned_t<Unit>>(s[n]) < 0x80) ++n;
  return n;
}

// Most names and log lines are ASCII: that run is widened or narrowed unit
// for unit, without a push_back each.
template <typename To, typename From>
void copyAscii(std::basic_string<To>& out, std::basic_string_view<From> s, size_t n) {
  out.resize(n);
  To* to = out.data();
  for (size_t k = 0; k < n; ++k) to[k] = static_cast<To>(s[k]);
}

}  // namespace

Str fromUtf8(std::string_view s) {
  Str out;
  out.reserve(s.size());
  size_t i = asciiPrefix(s);
  copyAscii(out, s, i);
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < s.size()) {
    unsigned char c = byte(i);
    char32_t cp;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { out.push_back(u'\uFFFD'); ++i; continue; }
    bool valid = i + len <= s.size();
    for (size_t k = 1; valid && k < len; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) valid = false;
      else cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string toUtf8(StrView s) {
  std::string out;
  out.reserve(s.size());
  const size_t ascii = asciiPrefix(s);
  copyAscii(out, s, ascii);
  for (size_t i = ascii; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string describe(const Result& result) {
  if (result.ok()) return "success";
  std::string text = "error " + std::to_string(result.error);
  if (result.call) text += std::string(" (") + result.call + ": " + std::to_string(result.native) + ")";
  return text;
}

}  // namespace orvel
