#include "common/convert.h"

#include <optional>

#include "common/error.h"
#include "common/format.h"

namespace orvel {
namespace {

int digitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The framework's integer reader: blanks, sign, "$"/"0x"/"x" hex prefix, digits.
std::optional<int32_t> parseInt(const Str& s) {
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  int base = 10;
  if (i < s.size() && s[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < s.size() && (s[i] == u'x' || s[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == s.size()) return std::nullopt;
  // Decimal may reach 2^31 for a negative value; hexadecimal uses all 32 bits.
  const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    int d = digitValue(s[i]);
    if (d < 0 || d >= base) return std::nullopt;
    magnitude = magnitude * base + d;
    if (magnitude > limit) return std::nullopt;
  }
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

// A decimal number with an optional fraction and exponent, as a Boolean text may be.
std::optional<bool> parseDecimalIsNonZero(const Str& s) {
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
  bool digits = false, nonZero = false;
  auto mantissa = [&] {
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
      digits = true;
      nonZero = nonZero || s[i] != u'0';
    }
  };
  mantissa();
  if (i < s.size() && s[i] == u'.') {
    ++i;
    mantissa();
  }
  if (!digits) return std::nullopt;
  if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
    size_t start = i;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') ++i;
    if (i == start) return std::nullopt;
  }
  while (i < s.size() && s[i] == u' ') ++i;
  if (i != s.size()) return std::nullopt;
  return nonZero;
}

char16_t upperOf(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F))
    return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  // Latin Extended-A pairs capital and small letter side by side.
  const bool evenUpper = (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) ||
                         (c >= 0x14A && c <= 0x177);
  const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (evenUpper && (c & 1)) return c - 1;
  if (oddUpper && !(c & 1)) return c - 1;
  return c;
}

}  // namespace

int32_t StrToInt(const Str& s) {
  if (auto v = parseInt(s)) return *v;
  throw Error(Format(u"'%s' ist kein gültiger Integerwert", {s}));
}

int32_t StrToIntDef(const Str& s, int32_t def) { return parseInt(s).value_or(def); }

int32_t IniStrToIntDef(const Str& s, int32_t def) {
  const size_t first = s.find_first_not_of(u" +-");
  if (first != Str::npos && (s[first] == u'$' || s[first] == u'x' || s[first] == u'X')) return def;
  return StrToIntDef(s, def);
}

Str IntToStr(int64_t value) {
  std::string digits = std::to_string(value);
  return Str(digits.begin(), digits.end());
}

bool StrToBool(const Str& s) {
  if (SameText(s, u"True")) return true;
  if (SameText(s, u"False")) return false;
  if (auto v = parseInt(s)) return *v != 0;
  if (auto nonZero = parseDecimalIsNonZero(s)) return *nonZero;
  throw Error(Format(u"'%s' ist kein gültiger boolescher Wert", {s}));
}

Str UpperCase(const Str& s) {
  Str out = s;
  for (char16_t& c : out) c = upperOf(c);
  return out;
}

bool SameText(const Str& a, const Str& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upperOf(a[i]) != upperOf(b[i])) return false;
  return true;
}

}  // namespace orvel
