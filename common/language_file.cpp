#include "common/language_file.h"

#include "common/convert.h"
#include "platform/profile.h"

namespace orvel {
namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kComma = u',';

// Blanks and control characters that separate comma-text items; NUL is not
// one of them, it ends the text.
bool isSeparatorBlank(char16_t c) { return c >= 1 && c <= 32; }

void skipBlanks(StrView text, size_t& at) {
  while (at < text.size() && isSeparatorBlank(text[at])) ++at;
}

// The item that starts with the double quote at `at`; `at` ends up after its
// closing quote (or at the end of the text when there is none).
Str quotedItem(StrView text, size_t& at) {
  Str item;
  ++at;
  for (;;) {
    const size_t quote = text.find(kQuote, at);
    if (quote == StrView::npos) {
      item.append(text.substr(at));
      at = text.size();
      return item;
    }
    item.append(text.substr(at, quote - at));
    at = quote + 1;
    if (at < text.size() && text[at] == kQuote) {
      item.push_back(kQuote);  // a doubled quote stands for one
      ++at;
      continue;
    }
    return item;
  }
}

// The unquoted item at `at`: up to a comma or a character with a code up to 32.
Str plainItem(StrView text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && text[at] > 32 && text[at] != kComma) ++at;
  return Str(text.substr(start, at - start));
}

}  // namespace

std::vector<Str> ParseCommaText(StrView text) {
  text = text.substr(0, text.find(u'\0'));
  std::vector<Str> items;
  size_t at = 0;
  skipBlanks(text, at);
  while (at < text.size()) {
    items.push_back(text[at] == kQuote ? quotedItem(text, at) : plainItem(text, at));
    skipBlanks(text, at);
    if (at < text.size() && text[at] == kComma) {
      if (at + 1 == text.size()) items.emplace_back();  // "a," has an empty last item
      ++at;
      skipBlanks(text, at);
    }
  }
  return items;
}

void TranslationList::Append(const TranslationList& later) {
  lines_.insert(lines_.end(), later.lines_.begin(), later.lines_.end());
}

Str TranslationList::Value(const Str& key) const {
  for (const Str& line : lines_) {
    const size_t equals = line.find(u'=');
    if (equals == Str::npos || equals != key.size()) continue;
    if (SameText(line.substr(0, equals), key)) return line.substr(equals + 1);
  }
  return {};
}

TranslationList ReadLanguageSection(const Str& file, const Str& section) {
  TranslationList list;
  for (const Str& key : profile::sectionKeys(file, section)) list.Add(key, profile::readString(file, section, key, u""));
  return list;
}

TranslationList ReadTranslationList(const Str& file) {
  const TranslationList common = ReadLanguageSection(file, u"Common");
  TranslationList translation = ReadLanguageSection(file, u"Installation");
  translation.Append(common);
  return translation;
}

}  // namespace orvel
