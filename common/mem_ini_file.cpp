#include "common/mem_ini_file.h"

#include "common/convert.h"
#include "platform/files.h"
#include "platform/system.h"

namespace orvel {
namespace {

// Blanks and control characters at either end go, as the INI reader drops them.
bool isTrimmed(char16_t c) { return c <= u' '; }

Str trim(const Str& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && isTrimmed(s[begin])) ++begin;
  while (end > begin && isTrimmed(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

std::vector<Str> splitLines(const Str& text) {
  std::vector<Str> lines;
  size_t from = 0;
  while (from < text.size()) {
    size_t lf = text.find(u'\n', from);
    size_t end = lf == Str::npos ? text.size() : lf;
    Str line = text.substr(from, end - from);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    from = lf == Str::npos ? text.size() : lf + 1;
  }
  return lines;
}

// A section or entry name that the INI text holds as it stands.
bool isPlainName(const Str& s) {
  if (!s.empty() && (isTrimmed(s.front()) || isTrimmed(s.back()) || s.front() == u'[' || s.front() == u';'))
    return false;
  return s.find_first_of(u"\r\n=]") == Str::npos;
}

}  // namespace

MemIniFile::MemIniFile(Str fileName) : fileName_(std::move(fileName)) {
  const files::FileContents contents = files::readFileContents(fileName_);
  if (contents.ok())
    LoadFromBytes(contents.bytes);
  else if (!contents.missing())
    readError_ = contents.error;
}

MemIniFile MemIniFile::Empty(Str fileName) {
  MemIniFile ini;
  ini.fileName_ = std::move(fileName);
  return ini;
}

void MemIniFile::LoadFromBytes(const std::string& bytes) {
  std::string_view view(bytes);
  if (startsWith(view, kUtf8Bom)) {
    encoding_ = Encoding::Utf8;
    parse(fromUtf8(view.substr(kUtf8Bom.size())));
  } else if (startsWith(view, kUtf16LeBom)) {
    encoding_ = Encoding::Utf16Le;
    parse(fromUtf16Bytes(view.substr(kUtf16LeBom.size()), ByteOrder::LittleEndian));
  } else if (startsWith(view, kUtf16BeBom)) {
    encoding_ = Encoding::Utf16Be;
    parse(fromUtf16Bytes(view.substr(kUtf16BeBom.size()), ByteOrder::BigEndian));
  } else {
    encoding_ = Encoding::Ansi;
    parse(sys::decode(bytes, sys::ansiCodePage()));
  }
}

void MemIniFile::parse(const Str& text) {
  preamble_.clear();
  sections_.clear();
  for (const Str& raw : splitLines(text)) {
    const Str line = trim(raw);
    if (line.empty()) continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      sections_.push_back({trim(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    if (sections_.empty()) {
      preamble_.push_back(line);
      continue;
    }
    const size_t eq = line.find(u'=');
    if (line.front() == u';' || eq == Str::npos)
      sections_.back().lines.push_back({line, {}, false});
    else
      sections_.back().lines.push_back({trim(line.substr(0, eq)), trim(line.substr(eq + 1)), true});
  }
}

std::vector<Str> MemIniFile::Lines() const {
  std::vector<Str> lines = preamble_;
  for (const Section& section : sections_) {
    if (!lines.empty()) lines.push_back({});
    lines.push_back(u"[" + section.name + u"]");
    for (const Line& line : section.lines) lines.push_back(line.text());
  }
  return lines;
}

std::string MemIniFile::SaveToBytes() const {
  Str text;
  for (const Str& line : Lines()) text += line + u"\r\n";
  switch (encoding_) {
    case Encoding::Utf8: return std::string(kUtf8Bom) + toUtf8(text);
    case Encoding::Utf16Le: return std::string(kUtf16LeBom) + toUtf16Bytes(text, ByteOrder::LittleEndian);
    case Encoding::Utf16Be: return std::string(kUtf16BeBom) + toUtf16Bytes(text, ByteOrder::BigEndian);
    case Encoding::Ansi: break;
  }
  std::string bytes = sys::encode(text, sys::ansiCodePage());
  // 8-bit text that happens to begin like a byte-order mark would be read back
  // as Unicode: an empty first line keeps it 8-bit.
  for (std::string_view bom : {kUtf8Bom, kUtf16LeBom, kUtf16BeBom})
    if (startsWith(bytes, bom)) return "\r\n" + bytes;
  return bytes;
}

Result MemIniFile::UpdateFile() {
  // What little this object knows of an unreadable file must not replace it.
  if (readError_ != err::kSuccess) return Result::failure(readError_);
  const files::UpdateLock lock = files::UpdateLock::acquire(fileName_);
  const files::FileContents now = files::readFileContents(fileName_);
  if (!now.ok() && !now.missing()) return Result::failure(now.error);
  MemIniFile merged = Empty(fileName_);
  if (now.ok()) merged.LoadFromBytes(now.bytes);
  for (const Change& change : changes_) merged.apply(change);
  preamble_ = std::move(merged.preamble_);
  sections_ = std::move(merged.sections_);
  encoding_ = merged.encoding_;
  return files::writeFile(fileName_, SaveToBytes());
}

const MemIniFile::Section* MemIniFile::findSection(const Str& section) const {
  for (const Section& s : sections_)
    if (SameText(s.name, section)) return &s;
  return nullptr;
}

MemIniFile::Section* MemIniFile::findSection(const Str& section) {
  return const_cast<Section*>(static_cast<const MemIniFile*>(this)->findSection(section));
}

size_t MemIniFile::entryIndex(const Section& section, const Str& name) {
  for (size_t i = 0; i < section.lines.size(); ++i)
    if (section.lines[i].isEntry && SameText(section.lines[i].name, name)) return i;
  return kNoEntry;
}

Str MemIniFile::ReadString(const Str& section, const Str& name, const Str& def) const {
  const Section* s = findSection(section);
  const size_t i = s ? entryIndex(*s, name) : kNoEntry;
  return i == kNoEntry ? def : s->lines[i].value;
}

int32_t MemIniFile::ReadInteger(const Str& section, const Str& name, int32_t def) const {
  return IniStrToIntDef(ReadString(section, name, {}), def);
}

bool MemIniFile::SectionExists(const Str& section) const { return findSection(section) != nullptr; }

bool MemIniFile::ValueExists(const Str& section, const Str& name) const {
  const Section* s = findSection(section);
  return s && entryIndex(*s, name) != kNoEntry;
}

std::vector<Str> MemIniFile::ReadSections() const {
  std::vector<Str> names;
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

std::vector<Str> MemIniFile::ReadSection(const Str& section) const {
  std::vector<Str> names;
  if (const Section* s = findSection(section))
    for (const Line& line : s->lines)
      if (line.isEntry) names.push_back(line.name);
  return names;
}

void MemIniFile::WriteString(const Str& section, const Str& name, const Str& value) {
  changes_.push_back({section, name, value, false});
  apply(changes_.back());
}

void MemIniFile::apply(const Change& change) {
  const Str& section = change.section;
  const Str& name = change.name;
  const Str& value = change.value;
  if (change.removed) {
    Section* s = findSection(section);
    const size_t i = s ? entryIndex(*s, name) : kNoEntry;
    if (i != kNoEntry) s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
  Section* s = findSection(section);
  if (!s) {
    sections_.push_back({section, {}});
    s = &sections_.back();
  }
  const size_t i = entryIndex(*s, name);
  if (i == kNoEntry)
    s->lines.push_back({name, value, true});
  else
    s->lines[i].value = value;
}

void MemIniFile::WriteInteger(const Str& section, const Str& name, int32_t value) {
  WriteString(section, name, IntToStr(value));
}

bool MemIniFile::DeleteKey(const Str& section, const Str& name) {
  if (!ValueExists(section, name)) return false;
  changes_.push_back({section, name, {}, true});
  apply(changes_.back());
  return true;
}

bool MemIniFile::CanStore(const Str& section, const Str& name, const Str& value) const {
  if (!isPlainName(section) || !isPlainName(name)) return false;
  if (value.find_first_of(u"\r\n") != Str::npos) return false;
  if (encoding_ != Encoding::Ansi) return true;
  // A name the code page lacks would be written as "?" and read back as
  // another name; a value, as question marks the user never wrote.
  const unsigned codePage = sys::ansiCodePage();
  for (const Str& text : {section, name, value})
    if (sys::decode(sys::encode(text, codePage), codePage) != text) return false;
  return true;
}

}  // namespace orvel
