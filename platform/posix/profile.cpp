// INI files on the emulated machine, read and changed as INI text (ini_text.h)
// through the file service, which maps the Windows path and replaces a
// written file atomically.
#include "platform/profile.h"

#include <optional>

#include "platform/files.h"
#include "platform/posix/ini_text.h"
#include "platform/posix/fault_injection.h"
#include "platform/system.h"

namespace orvel::profile {

namespace ini = posix::ini;

namespace {

ini::AnsiDecoder ansiDecoder() {
  unsigned codePage = sys::ansiCodePage();
  return [codePage](const std::string& bytes) { return sys::decode(bytes, codePage); };
}

ini::AnsiEncoder ansiEncoder() {
  unsigned codePage = sys::ansiCodePage();
  return [codePage](const Str& text) { return sys::encode(text, codePage); };
}

std::optional<ini::Document> load(const Str& file) {
  auto bytes = files::readFile(file);
  if (!bytes) return std::nullopt;
  return ini::Document::parse(*bytes, ansiDecoder());
}

// The reader drops trailing blanks of the default, and its buffer cuts it.
Str readerDefault(const Str& def) {
  Str d = def.substr(0, def.find(u'\0'));
  while (!d.empty() && d.back() == u' ') d.pop_back();
  return d.substr(0, kMaxValue);
}

}  // namespace

std::vector<Str> sectionKeys(const Str& file, const Str& section) {
  auto doc = load(file);
  return doc ? doc->keys(section) : std::vector<Str>{};
}

Str readString(const Str& file, const Str& section, const Str& key, const Str& def) {
  auto doc = load(file);
  auto value = doc ? doc->value(section, key) : std::nullopt;
  return value ? ini::readerValue(*value) : readerDefault(def);
}

Result writeString(const Str& file, const Str& section, const Str& key, const Str& value) {
  if (uint32_t injected = posix::faults::check("profile.writeString")) return Result::failure(injected);
  // A missing file starts as empty 8-bit text.
  auto doc = load(file).value_or(ini::Document{});
  if (!doc.set(section, key, value)) return Result::success();
  return files::writeFile(file, doc.bytes(ansiEncoder()));
}

}  // namespace orvel::profile
