// Fuzzes the terminal's folding and frames with random lines of runs (any
// UTF-16 text, so wide, combining and control characters, lone surrogates,
// blanks and paths), random widths from 1 to 400 and random indents. No
// folded line may be wider than asked, no character but blanks may be lost
// or gained, and a frame's lines must all be as wide as its top and fit
// the terminal, with no control character reaching it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/terminal/terminal_text.h"
#include "platform/types.h"

namespace {

using namespace orvel::gui::text;

void check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "violated: %s\n", what);
    abort();
  }
}

std::string withoutBlanks(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ') out += c;
  return out;
}

// The bytes as a line: each run starts with a byte for its tone and
// whether it breaks, then a length, then that many UTF-16 code units.
Line lineOf(const uint8_t* data, size_t size) {
  Line line;
  size_t at = 0;
  while (at + 2 <= size) {
    Span span;
    span.tone = static_cast<Tone>(data[at] & 3);
    span.breakable = (data[at] & 4) == 0;
    span.dim = (data[at] & 8) != 0;
    const size_t units = data[at + 1] % 64;
    at += 2;
    orvel::Str text;
    for (size_t i = 0; i < units && at + 2 <= size; ++i, at += 2) {
      const char16_t unit = static_cast<char16_t>(data[at] | data[at + 1] << 8);
      // Mostly the characters a path and a sentence are made of.
      text.push_back(unit < 0x4000 ? u"ab C:\\\"\t"[unit % 8] : unit);
    }
    span.text = orvel::toUtf8(text);
    line.push_back(std::move(span));
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int width = 1 + (data[0] | data[1] << 8) % 400;
  const int indent = data[2] % 16;
  const Line line = lineOf(data + 3, size - 3);

  std::string before;
  for (const Span& s : line) before += s.text;
  std::string after;
  for (const Line& folded : fold(line, width, indent)) {
    check(columnsOf(folded) <= std::max(width, 2), "a folded line is wider than asked");
    for (const Span& s : folded) after += s.text;
  }
  check(withoutBlanks(before) == withoutBlanks(after), "folding lost or added a character");

  const std::vector<std::string> box = framed(line.empty() ? "" : line.front().text, {line, line}, width, false);
  const int top = columnsOf(box.front());
  for (const std::string& drawn : box) {
    check(columnsOf(drawn) == top, "a line of the frame is not as wide as its top");
    check(top <= std::max(width, kNarrowest), "the frame is wider than the terminal");
    for (char c : drawn) check(c < 0 || c >= 0x20, "a control character reaches the terminal");
  }
  return 0;
}
