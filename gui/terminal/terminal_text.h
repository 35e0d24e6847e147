// Styled text for the terminal: runs of UTF-8 text in a tone, their width in
// terminal columns, folding to a width and framing in a box. Every line that
// comes out of fold() or framed() is at most as wide as it was asked to be,
// whatever the text holds (wide or combining characters, tabs, control
// characters, words longer than a line).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvel::gui::text {

enum class Tone { Plain, Name, Title, Hint };

// A run of text in one tone. An unbreakable run (a path, a field's text)
// folds only where it is wider than the whole line.
struct Span {
  std::string text;
  Tone tone = Tone::Plain;
  bool dim = false;
  bool breakable = true;
};
using Line = std::vector<Span>;

// The narrowest terminal drawn for; a narrower one wraps our lines itself.
constexpr int kNarrowest = 20;

// Columns a code point takes on a terminal: 0 for combining marks and
// zero-width characters, 2 for East Asian wide and full-width ones, else 1.
// A control character counts 1: render() shows it as one blank or as U+FFFD.
int columnsOf(char32_t codePoint);
int columnsOf(std::string_view utf8);
int columnsOf(const Line& line);

// The line as the terminal gets it: control characters made harmless (a tab
// a blank, any other U+FFFD, so no text of a window can send the terminal an
// escape sequence), with SGR sequences for the tones when `colour`.
std::string render(const Line& line, bool colour);

// Folds a line into lines of at most `width` columns; the lines after the
// first start with `indent` blanks. Nothing is cut off: a piece wider than a
// line goes on over the next ones. A path that would fold at one of its
// blanks moves whole to the next line when it fits there.
std::vector<Line> fold(const Line& line, int width, int indent);

// The content in a box with the caption on its top edge, the box at most
// `width` columns wide (at least kNarrowest), each content line folded into it.
std::vector<std::string> framed(const std::string& caption, const std::vector<Line>& content, int width,
                                bool colour);

}  // namespace orvel::gui::text
