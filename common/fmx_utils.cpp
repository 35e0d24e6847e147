#include "common/fmx_utils.h"

#include "common/convert.h"
#include "common/installation_layout.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "gui/gui.h"

namespace orvel {
namespace {

constexpr char16_t kQuote = u'"';
// GetTempPathW's buffer; a longer path is asked for again with room for any path.
constexpr size_t kTempPathBuffer = 255;
constexpr size_t kLongPathBuffer = 32767;

Str languageFileName(uint16_t langId) {
  switch (langId & 0xFF) {
    case 0x07: return {};  // German: the built-in texts, so no file
    case 0x0A: return u"espanol.ini";
    case 0x13: return u"dutch.ini";
    default: return u"english.ini";
  }
}

}  // namespace

intptr_t LaunchFile(const Str& fileName, const Str& parameters, const Str& directory, int showCommand,
                    const gui::Form* owner) {
  // Long texts are passed whole rather than cut at a fixed buffer.
  return shell::execute(owner ? owner->nativeHandle() : nullptr, fileName, parameters, directory, showCommand);
}

bool IsAdministrator() { return sys::isAdministrator(); }

Str DefaultLanguageFile() {
  return ProgramFolder() + layout::kLanguageFolder + u"\\" + languageFileName(sys::userDefaultLangId());
}

Str TempDirectory() {
  if (auto path = sys::tempPath(kTempPathBuffer)) return *path;
  return sys::tempPath(kLongPathBuffer).value_or(Str());
}

Str GetSpecialFolder(int csidl) { return shell::specialFolder(csidl); }

Str QuoteIfSpaces(const Str& s) {
  if (s.find(u' ') == Str::npos || s.front() == kQuote) return s;
  return kQuote + s + kQuote;
}

Str StripQuotes(const Str& s) {
  if (s.empty() || s.front() != kQuote) return s;
  if (s.size() <= 2) return {};
  return s.substr(1, s.size() - 2);
}

Str UnescapeQuot(const Str& s) { return ReplaceAll(s, u"&quot;", Str(1, kQuote)); }

Str ReplaceAll(const Str& s, const Str& search, const Str& replacement) {
  if (search.empty()) return s;
  Str result;
  size_t from = 0;
  for (size_t p = s.find(search); p != Str::npos; p = s.find(search, from)) {
    result.append(s, from, p - from);
    result += replacement;
    from = p + search.size();
  }
  result.append(s, from, Str::npos);
  return result;
}

std::vector<Str> SplitString(char16_t separator, const Str& s) {
  std::vector<Str> list;
  size_t from = 0;
  for (size_t p = s.find(separator); p != Str::npos; p = s.find(separator, from)) {
    list.push_back(s.substr(from, p - from));
    from = p + 1;
  }
  list.push_back(s.substr(from));
  return list;
}

Str ExcludeTrailingSlash(const Str& s) {
  if (!s.empty() && (s.back() == u'\\' || s.back() == u'/')) return s.substr(0, s.size() - 1);
  return s;
}

Str IncludeTrailingBackslash(const Str& path) {
  if (!path.empty() && path.back() == u'\\') return path;
  return path + u"\\";
}

Str ExtractFileDrive(const Str& path) {
  if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    const size_t serverEnd = path.find(u'\\', 2);
    if (serverEnd == Str::npos) return path;
    return path.substr(0, path.find(u'\\', serverEnd + 1));
  }
  return {};
}

Str ExtractFilePath(const Str& path) {
  size_t p = path.find_last_of(u"\\:");
  return p == Str::npos ? Str() : path.substr(0, p + 1);
}

Str ProgramFolder() { return ExtractFilePath(sys::modulePath()); }

bool SameFile(const Str& source, const Str& target) {
  return SameText(source, target) || files::sameExistingFile(source, target);
}

void ClearReadOnly(const Str& path) {
  const uint32_t attributes = files::getAttributes(path);
  if (attributes == files::kInvalidAttributes || !(attributes & files::kReadOnly)) return;
  (void)files::setAttributes(path, attributes & ~(files::kReadOnly | files::kDirectory | files::kNormal));
}

}  // namespace orvel
