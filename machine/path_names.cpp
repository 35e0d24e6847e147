// Windows paths and host paths as text, with nothing of the machine behind them.
#include "machine/path_names.h"

#include <array>
#include <string_view>

namespace orvel::posix {

bool isDriveLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

size_t findSeparator(StrView path, size_t from) {
  for (size_t i = from; i < path.size(); ++i)
    if (isSeparator(path[i])) return i;
  return StrView::npos;
}

bool isAbsoluteWindowsPath(StrView path) {
  if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == u':')
    return path.size() == 2 || isSeparator(path[2]);
  return path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
}

bool hasForbiddenCharacter(StrView fullPath) {
  StrView path = fullPath;
  if (path.rfind(u"\\\\?\\", 0) == 0 || path.rfind(u"\\\\.\\", 0) == 0) path.remove_prefix(4);
  size_t names = 0;
  if (path.size() >= 2 && path[1] == u':') names = 2;
  // Every forbidden character lies below 0x80, so a table tells them.
  static constexpr auto kForbidden = [] {
    std::array<bool, 0x80> table{};
    for (char16_t c = 0; c < 0x20; ++c) table[c] = true;
    for (char16_t c : u"<>:\"|?*") table[c] = true;
    return table;
  }();
  for (size_t i = names; i < path.size(); ++i)
    if (path[i] < 0x80 && kForbidden[path[i]]) return true;
  return false;
}

std::string hostParent(const std::string& hostPath) {
  std::string_view path = hostPath;  // one copy, of the parent alone
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

}  // namespace orvel::posix
