#include "formats/ini_text.h"

#include <unordered_set>

#include "formats/fold_case.h"
#include "formats/utf16.h"

namespace orvel::ini {

using formats::equalNoCase;
using formats::fromUtf16;
using formats::toUtf16;
using formats::upcased;

bool isProfileBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == u' '; }

namespace {

StrView trimmed(StrView s) {
  while (!s.empty() && isProfileBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isProfileBlank(s.back())) s.remove_suffix(1);
  return s;
}

StrView withoutLeadingBlanks(StrView s) {
  while (!s.empty() && isProfileBlank(s.front())) s.remove_prefix(1);
  return s;
}

// What one line says.
struct Parsed {
  enum Kind { Blank, Section, Entry } kind = Blank;
  StrView name;                  // section name or key, blanks removed
  std::optional<StrView> value;  // an entry's value, when the line has "="
};

Parsed parseLine(StrView line) {
  StrView t = trimmed(line);
  if (t.empty()) return {};
  if (t.front() == u'[') {
    size_t close = t.rfind(u']');
    if (close != StrView::npos) return {Parsed::Section, trimmed(t.substr(1, close - 1)), std::nullopt};
  }
  size_t eq = t.find(u'=');
  if (eq == StrView::npos) return {Parsed::Entry, t, std::nullopt};
  return {Parsed::Entry, trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1))};
}

bool startsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

}  // namespace

Document Document::parse(std::string_view bytes, const AnsiDecoder& decodeAnsi) {
  Document doc;
  Str text;
  if (startsWith(bytes, kUtf16LeMark)) {
    doc.encoding_ = Encoding::Utf16Le;
    text = fromUtf16(bytes.substr(2), false);
  } else if (startsWith(bytes, kUtf16BeMark)) {
    doc.encoding_ = Encoding::Utf16Be;
    text = fromUtf16(bytes.substr(2), true);
  } else if (startsWith(bytes, kUtf8Mark)) {
    doc.encoding_ = Encoding::Utf8;
    text = fromUtf8(bytes.substr(3));
  } else {
    text = decodeAnsi(std::string(bytes));
  }
  bool endSeen = false;
  for (size_t start = 0; start < text.size();) {
    size_t stop = text.find_first_of(u"\r\n", start);
    if (stop == Str::npos) {
      doc.lines_.push_back(Line{text.substr(start), {}});
      break;
    }
    size_t endLength = (text[stop] == u'\r' && stop + 1 < text.size() && text[stop + 1] == u'\n') ? 2 : 1;
    doc.lines_.push_back(Line{text.substr(start, stop - start), text.substr(stop, endLength)});
    if (!endSeen) {
      doc.newLineEnd_ = doc.lines_.back().end;
      endSeen = true;
    }
    start = stop + endLength;
  }
  return doc;
}

std::string Document::bytes(const AnsiEncoder& encodeAnsi) const {
  Str text;
  for (const Line& line : lines_) {
    text += line.text;
    text += line.end;
  }
  switch (encoding_) {
    case Encoding::Utf16Le: return std::string(kUtf16LeMark) + toUtf16(text, false);
    case Encoding::Utf16Be: return std::string(kUtf16BeMark) + toUtf16(text, true);
    case Encoding::Utf8: return std::string(kUtf8Mark) + toUtf8(text);
    case Encoding::Ansi: break;
  }
  return encodeAnsi(text);
}

void Document::buildIndex() {
  auto index = std::make_shared<Index>();
  Span span{Str::npos, 0, 0};
  StrView spanName;
  auto close = [&](size_t end) {
    span.end = end;
    if (index->sections.emplace(upcased(spanName), span).second) {
      auto& entries = index->entries[span.header];
      for (size_t i = span.begin; i < span.end; ++i) {
        Parsed parsed = parseLine(lines_[i].text);
        if (parsed.kind == Parsed::Entry && !parsed.name.empty()) entries.emplace(upcased(parsed.name), i);
      }
    }
  };
  for (size_t i = 0; i < lines_.size(); ++i) {
    Parsed parsed = parseLine(lines_[i].text);
    if (parsed.kind != Parsed::Section) continue;
    close(i);
    span = Span{i, i + 1, 0};
    spanName = parsed.name;
  }
  close(lines_.size());
  index_ = std::move(index);
}

std::optional<Document::Span> Document::findSection(StrView name) const {
  name = trimmed(name);
  if (index_) {
    auto it = index_->sections.find(upcased(name));
    if (it == index_->sections.end()) return std::nullopt;
    return it->second;
  }
  Span span{Str::npos, 0, 0};
  StrView spanName;  // the text before the first section has the empty name
  for (size_t i = 0; i <= lines_.size(); ++i) {
    Parsed parsed = i < lines_.size() ? parseLine(lines_[i].text) : Parsed{};
    bool boundary = i == lines_.size() || parsed.kind == Parsed::Section;
    if (!boundary) continue;
    span.end = i;
    if (equalNoCase(spanName, name)) return span;
    if (i == lines_.size()) break;
    span = Span{i, i + 1, 0};
    spanName = parsed.name;
  }
  return std::nullopt;
}

std::optional<size_t> Document::findEntry(const Span& span, StrView key) const {
  key = trimmed(key);
  if (key.empty()) return std::nullopt;
  if (index_) {
    const auto& entries = index_->entries.at(span.header);
    auto it = entries.find(upcased(key));
    if (it == entries.end()) return std::nullopt;
    return it->second;
  }
  for (size_t i = span.begin; i < span.end; ++i) {
    Parsed parsed = parseLine(lines_[i].text);
    if (parsed.kind == Parsed::Entry && equalNoCase(parsed.name, key)) return i;
  }
  return std::nullopt;
}

std::optional<Str> Document::value(StrView section, StrView key) const {
  auto span = findSection(section);
  if (!span) return std::nullopt;
  auto entry = findEntry(*span, key);
  if (!entry) return std::nullopt;
  auto value = parseLine(lines_[*entry].text).value;
  if (!value) return std::nullopt;
  return Str(*value);
}

std::vector<Str> Document::keys(StrView section) const {
  std::vector<Str> keys;
  auto span = findSection(section);
  if (!span) return keys;
  // A key counts once, at its first entry, and only when that entry has a
  // value: a later one cannot be read.
  std::unordered_set<Str> seen;
  for (size_t i = span->begin; i < span->end; ++i) {
    Parsed parsed = parseLine(lines_[i].text);
    if (parsed.kind != Parsed::Entry || parsed.name.empty()) continue;
    if (!seen.insert(upcased(parsed.name)).second) continue;
    if (parsed.value && parsed.name.front() != u';') keys.emplace_back(parsed.name);
  }
  return keys;
}

bool Document::set(StrView section, StrView key, StrView value) {
  index_.reset();
  value = withoutLeadingBlanks(value);
  auto span = findSection(section);
  if (!span) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = newLineEnd_;
    // Appended rather than concatenated: GCC's -Wrestrict misreads the
    // temporaries of `u"[" + ... + u"]"` at -O2.
    Str header = u"[";
    header.append(withoutLeadingBlanks(section)).push_back(u']');
    lines_.push_back(newLine(std::move(header)));
    lines_.push_back(newLine(Str(withoutLeadingBlanks(key)) + u"=" + Str(value)));
    return true;
  }
  if (auto entry = findEntry(*span, key)) {
    Parsed parsed = parseLine(lines_[*entry].text);
    if (parsed.value && *parsed.value == value) return false;
    lines_[*entry].text = Str(parsed.name) + u"=" + Str(value);
    return true;
  }
  // After the section's last line that is not blank, so that blank lines
  // before the next section stay where they are.
  size_t at = span->end;
  while (at > span->begin && parseLine(lines_[at - 1].text).kind == Parsed::Blank) --at;
  if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = newLineEnd_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                newLine(Str(withoutLeadingBlanks(key)) + u"=" + Str(value)));
  return true;
}

Str readerValue(StrView value, size_t most) {
  value = value.substr(0, value.find(u'\0'));
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return Str(value.substr(0, most));
}

}  // namespace orvel::ini
