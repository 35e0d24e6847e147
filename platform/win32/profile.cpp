// INI files through GetPrivateProfileStringW and WritePrivateProfileStringW.
#include "platform/profile.h"

#include "platform/win32/win32.h"

namespace orvel::profile {
namespace {

using win32::wide;

// The reader's fixed buffer: kMaxValue characters and the terminator.
constexpr DWORD kValueBuffer = kMaxValue + 1;

// Splits the reader's "name\0name\0\0" list.
std::vector<Str> splitNulList(const std::wstring& list) {
  std::vector<Str> names;
  for (size_t start = 0; start < list.size() && list[start] != L'\0';) {
    size_t end = list.find(L'\0', start);
    names.push_back(win32::fromWide(list.data() + start, end - start));
    start = end + 1;
  }
  return names;
}

bool containsIgnoringCase(const std::vector<Str>& names, const Str& name) {
  for (const Str& n : names) {
    if (CompareStringOrdinal(wide(n), -1, wide(name), -1, TRUE) == CSTR_EQUAL) return true;
  }
  return false;
}

}  // namespace

std::vector<Str> sectionKeys(const Str& file, const Str& section) {
  // A null key name lists the section's keys. The call answers size - 2 when
  // the list was cut, so grow the buffer until it is not.
  std::wstring list(32768, L'\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(list.size());
    DWORD length = GetPrivateProfileStringW(wide(section), nullptr, L"", list.data(), size, wide(file));
    if (length + 2 < size || size >= (1u << 24)) {
      list.resize(length + 1);
      break;
    }
    list.assign(list.size() * 4, L'\0');
  }
  // A key that the file holds twice is listed once, as the reader only ever
  // finds its first occurrence.
  std::vector<Str> keys;
  for (Str& key : splitNulList(list)) {
    if (!containsIgnoringCase(keys, key)) keys.push_back(std::move(key));
  }
  return keys;
}

Str readString(const Str& file, const Str& section, const Str& key, const Str& def) {
  wchar_t value[kValueBuffer];
  DWORD length = GetPrivateProfileStringW(wide(section), wide(key), wide(def), value, kValueBuffer, wide(file));
  return win32::fromWide(value, length);
}

Result writeString(const Str& file, const Str& section, const Str& key, const Str& value) {
  if (win32::isReadOnlyFile(file)) return Result::failure(err::kAccessDenied);
  return win32::check(WritePrivateProfileStringW(wide(section), wide(key), wide(value), wide(file)), "WritePrivateProfileStringW");
}

}  // namespace orvel::profile
