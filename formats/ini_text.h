// INI text as the Windows profile functions read and change it: the bytes of
// one file, split into lines that are kept as they stand, so that a change
// touches only the line it changes and the rest of the file keeps its bytes,
// encoding and line ends.
//
// Reading rules (those of GetPrivateProfileStringW):
//   - the encoding comes from the byte-order mark: UTF-16LE, UTF-16BE or
//     UTF-8; without one the text is 8-bit in the ANSI code page.
//   - lines end at CR LF, LF or CR. Blanks (space, tab, the other ASCII
//     spacing controls and Ctrl-Z) around a line, a section name, a key and a
//     value do not count.
//   - "[name]" starts a section (up to the line's last "]"); lines before the
//     first section belong to a section with the empty name. Only the first
//     section of a name is ever looked at.
//   - every other line is an entry: the key up to the first "=", the value
//     after it; a line without "=" is an entry without a value, which reads
//     as missing. Lines starting with ";" are comments: entries that no key
//     listing shows.
//   - names match without regard to letter case.
#pragma once

#include <functional>
#include <memory>
#include <unordered_map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace orvel::ini {

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

// 8-bit text of the ANSI code page, both ways.
using AnsiDecoder = std::function<Str(const std::string&)>;
using AnsiEncoder = std::function<std::string(const Str&)>;

class Document {
 public:
  // An empty document: 8-bit text with CR LF line ends.
  Document() = default;
  static Document parse(std::string_view bytes, const AnsiDecoder& decodeAnsi);
  // The file's bytes, with the byte-order mark it was read with.
  std::string bytes(const AnsiEncoder& encodeAnsi) const;

  Encoding encoding() const { return encoding_; }

  // The value of the first entry of that key in the first section of that
  // name, blanks around it removed; nothing when the section, the key or its
  // "=" is missing. Section and key are matched with their blanks removed.
  std::optional<Str> value(StrView section, StrView key) const;
  // The keys of the first section of that name, in file order, each once:
  // listed where it first occurs, and only when that entry has a value (the
  // reader never looks further). Comments are left out.
  std::vector<Str> keys(StrView section) const;
  // WritePrivateProfileStringW: replaces the first entry of the key, or adds
  // "key=value" after the last line of its section, or adds the section at the
  // end of the text. Blanks before the key and the value are dropped. False
  // when the entry already held this value (the text is then unchanged).
  bool set(StrView section, StrView key, StrView value);

  // Makes value() and keys() look names up in tables rather than line by
  // line, until the next set(); for a document read many times.
  void buildIndex();

 private:
  struct Line {
    Str text;
    Str end;  // "\r\n", "\n", "\r", or nothing for a last line without one
  };
  struct Span {
    size_t header;  // index of the "[name]" line, or npos for the text before the first
    size_t begin;   // first line after the header
    size_t end;     // one past the section's last line
  };

  std::optional<Span> findSection(StrView name) const;
  std::optional<size_t> findEntry(const Span& span, StrView key) const;
  Line newLine(Str text) const { return Line{std::move(text), newLineEnd_}; }

  // First section of each name and first entry of each key in it, by the
  // names' folded case.
  struct Index {
    std::unordered_map<Str, Span> sections;
    std::unordered_map<size_t, std::unordered_map<Str, size_t>> entries;  // by header line
  };

  Encoding encoding_ = Encoding::Ansi;
  std::shared_ptr<const Index> index_;
  Str newLineEnd_ = u"\r\n";  // the file's own line end, for added lines
  std::vector<Line> lines_;
};

// What GetPrivateProfileStringW gives for a value: one pair of enclosing
// double or single quotes removed, cut at a NUL and after `most` characters
// (the reader's buffer, profile::kMaxValue).
Str readerValue(StrView value, size_t most);

// Blanks as the profile functions see them.
bool isProfileBlank(char16_t c);

}  // namespace orvel::ini
