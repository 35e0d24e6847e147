// What a language file holds for the program: its "Installation" and
// "Common" sections as one translation list, and the comma text in which a
// language file writes the item list of a radio group or combo box.
#pragma once

#include <vector>

#include "platform/types.h"

namespace orvel {

// Parses comma text into a whole new item list. Leading blanks and control
// characters (codes 1 to 32) are skipped; an item in double quotes runs to the
// next single double quote ("" stands for one); any other item runs up to a
// comma or a character with a code from 0 to 32. A comma at the very end adds
// one empty item. A NUL character ends the text; an opening quote without its
// closing one takes the rest of the text.
std::vector<Str> ParseCommaText(StrView text);

// Ordered lines key=value. A key is looked up in the first line whose text
// before its first "=" equals it without regard to letter case.
class TranslationList {
 public:
  TranslationList() = default;
  explicit TranslationList(std::vector<Str> lines) : lines_(std::move(lines)) {}

  void Add(const Str& key, const Str& value) { lines_.push_back(key + u"=" + value); }
  // Appends the lines of `later`, which therefore lose to equal keys here.
  void Append(const TranslationList& later);
  // The text after the "=" of the first matching line; empty when none matches.
  Str Value(const Str& key) const;

  const std::vector<Str>& Lines() const { return lines_; }
  bool Empty() const { return lines_.empty(); }

 private:
  std::vector<Str> lines_;
};

// One section of a language file through the profile reader: a line for each
// key the section lists, in file order, with the value as the reader gives it.
// A missing file or section gives an empty list.
TranslationList ReadLanguageSection(const Str& file, const Str& section);

// The translation list of a language file: its "Installation" lines first and
// its "Common" lines after them, so that "Installation" wins a key both hold.
TranslationList ReadTranslationList(const Str& file);

}  // namespace orvel
