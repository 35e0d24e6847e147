// Styled text for the terminal: widths, folding and frames.
#include "gui/terminal/terminal_text.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace orvel::gui::text {
namespace {

struct Range {
  char32_t first, last;
};

// Characters that take no column of their own: the combining marks of the
// common scripts, zero-width spaces and joiners, direction marks, variation
// selectors and the byte-order mark. A mark missing here counts one column,
// which draws a line narrower, never wider, than the terminal.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1160, 0x11FF}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302D},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and full-width characters, and the emoji shown wide. A
// generous list: a character taken for wide that is not draws narrower.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x3029},   {0x302E, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F2FF}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB},
    {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool within(const Range (&table)[N], char32_t c) {
  const Range* at = std::upper_bound(std::begin(table), std::end(table), c,
                                     [](char32_t value, const Range& r) { return value < r.first; });
  return at != std::begin(table) && c <= std::prev(at)->last;
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

struct Decoded {
  char32_t codePoint;
  size_t bytes;
};

// The code point at `at`; a malformed sequence is one byte of U+FFFD.
Decoded decodeAt(std::string_view s, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1};
  const size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  if (length == 0 || at + length > s.size()) return {0xFFFD, 1};
  char32_t c = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {0xFFFD, 1};
    c = c << 6 | (byte(at + i) & 0x3F);
  }
  return {c, length};
}

// The bytes of the longest start of `text` that takes at most `columns`,
// with the zero-width characters that follow it (a combining accent stays
// with its letter).
size_t bytesWithin(std::string_view text, int columns) {
  size_t at = 0;
  int used = 0;
  while (at < text.size()) {
    const Decoded d = decodeAt(text, at);
    const int w = columnsOf(d.codePoint);
    if (used + w > columns) break;
    used += w;
    at += d.bytes;
  }
  return at;
}

// The bytes of the first character and its zero-width followers.
size_t firstCharacterBytes(std::string_view text) {
  size_t at = decodeAt(text, 0).bytes;
  while (at < text.size() && columnsOf(decodeAt(text, at).codePoint) == 0) at += decodeAt(text, at).bytes;
  return at;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Text the terminal shows as it stands: each control character (and each
// malformed byte) replaced by one column's worth.
std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const Decoded d = decodeAt(text, at);
    if (d.codePoint == '\t')
      out.push_back(' ');
    else if (isControl(d.codePoint) || (d.codePoint == 0xFFFD && d.bytes == 1))
      appendUtf8(out, 0xFFFD);
    else
      out.append(text.substr(at, d.bytes));
    at += d.bytes;
  }
  return out;
}

std::string sgr(const Span& span) {
  std::string codes;
  auto add = [&codes](const char* code) {
    if (!codes.empty()) codes += ';';
    codes += code;
  };
  if (span.dim) add("2");
  if (span.tone == Tone::Name) add("36");
  if (span.tone == Tone::Title) add("1");
  if (span.tone == Tone::Hint) add("33");
  return codes;
}

// Splits a line into pieces that may start a new line: the words of
// breakable runs, each with the blanks after it, and unbreakable runs whole.
std::vector<Span> piecesOf(const Line& line) {
  std::vector<Span> pieces;
  for (const Span& span : line) {
    if (!span.breakable) {
      pieces.push_back(span);
      continue;
    }
    size_t start = 0;
    while (start < span.text.size()) {
      size_t end = span.text.find(' ', start);
      end = end == std::string::npos ? span.text.size() : span.text.find_first_not_of(' ', end);
      if (end == std::string::npos) end = span.text.size();
      Span piece = span;
      piece.text = span.text.substr(start, end - start);
      pieces.push_back(std::move(piece));
      start = end;
    }
  }
  return pieces;
}

// Drops blanks at the end of the line; returns the columns dropped.
int trimTrailingBlanks(Line& line) {
  int dropped = 0;
  while (!line.empty()) {
    std::string& text = line.back().text;
    while (!text.empty() && text.back() == ' ') {
      text.pop_back();
      ++dropped;
    }
    if (!text.empty()) break;
    line.pop_back();
  }
  return dropped;
}

// Whether a piece of text starts a Windows path ("C:\\…", "\\\\server…"),
// perhaps after a quote.
bool startsPath(std::string_view text) {
  if (!text.empty() && text.front() == '"') text.remove_prefix(1);
  if (text.starts_with("\\\\")) return true;
  return text.size() >= 3 && ((text[0] | 0x20) >= 'a' && (text[0] | 0x20) <= 'z') && text[1] == ':' && text[2] == '\\';
}

int visibleColumns(std::string_view text) {
  const size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? 0 : columnsOf(text.substr(0, last + 1));
}

std::string repeated(char c, int n) { return std::string(static_cast<size_t>(std::max(0, n)), c); }

// The pieces one after the other (appending, rather than adding strings to
// a literal, which GCC 12's -O2 analysis takes for overlapping copies).
std::string concat(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (std::string_view piece : pieces) out.append(piece);
  return out;
}

}  // namespace

int columnsOf(char32_t c) {
  if (c < 0x300) return 1;
  if (within(kZeroWidth, c)) return 0;
  return within(kWide, c) ? 2 : 1;
}

int columnsOf(std::string_view utf8) {
  int n = 0;
  for (size_t at = 0; at < utf8.size();) {
    const Decoded d = decodeAt(utf8, at);
    n += columnsOf(d.codePoint);
    at += d.bytes;
  }
  return n;
}

int columnsOf(const Line& line) {
  int n = 0;
  for (const Span& s : line) n += columnsOf(s.text);
  return n;
}

std::string render(const Line& line, bool colour) {
  std::string out;
  for (const Span& span : line) {
    const std::string codes = colour ? sgr(span) : std::string();
    if (codes.empty())
      out += printable(span.text);
    else
      out += concat({"\x1b[", codes, "m", printable(span.text), "\x1b[0m"});
  }
  return out;
}

std::vector<Line> fold(const Line& line, int width, int indent) {
  width = std::max(width, 2);
  // A continuation line keeps room for at least one wide character.
  indent = std::clamp(indent, 0, width - 2);
  std::vector<Line> out(1);
  int used = 0;
  size_t pathAt = 0;  // where the last path began on this line; 0: none to move
  auto newLine = [&] {
    trimTrailingBlanks(out.back());
    out.emplace_back();
    if (indent > 0) out.back().push_back({repeated(' ', indent)});
    used = indent;
    pathAt = 0;
  };
  auto append = [&](Span piece) {
    used += columnsOf(piece.text);
    out.back().push_back(std::move(piece));
    // Blanks that would end the line past its width are not drawn.
    if (used > width) used -= trimTrailingBlanks(out.back());
  };
  for (Span piece : piecesOf(line)) {
    std::string_view text = piece.text;
    if (used > indent && used + visibleColumns(text) > width) {
      Line moved;
      if (pathAt > 0) moved.assign(out.back().begin() + static_cast<std::ptrdiff_t>(pathAt), out.back().end());
      const int movedColumns = columnsOf(moved);
      if (!moved.empty() && indent + movedColumns + visibleColumns(text) <= width) {
        out.back().resize(pathAt);
        newLine();
        for (Span& m : moved) out.back().push_back(std::move(m));
        used += movedColumns;
      } else {
        newLine();
      }
    }
    // Still too wide: it goes on over the next lines.
    while (used + visibleColumns(text) > width) {
      size_t cut = bytesWithin(text, width - used);
      if (cut == 0 && used > indent) {
        newLine();
        continue;
      }
      if (cut == 0) cut = firstCharacterBytes(text);
      Span part = piece;
      part.text = std::string(text.substr(0, cut));
      append(std::move(part));
      text.remove_prefix(cut);
      newLine();
    }
    if (text.empty()) continue;
    piece.text = std::string(text);
    if (startsPath(piece.text) && out.back().size() > (out.size() > 1 && indent > 0 ? 1u : 0u))
      pathAt = out.back().size();
    append(std::move(piece));
  }
  trimTrailingBlanks(out.back());
  return out;
}

namespace {
constexpr int kFrameColumns = 4;  // "| " and " |"
}

std::vector<std::string> framed(const std::string& caption, const std::vector<Line>& content, int width,
                                bool colour) {
  const int most = std::max(kNarrowest, width) - kFrameColumns;
  const int captionColumns = columnsOf(caption);
  int inner = captionColumns + 2;
  for (const Line& line : content) inner = std::max(inner, columnsOf(line));
  inner = std::min(inner, most);

  std::vector<Line> body;
  // A caption wider than the frame opens its content instead of its top.
  const bool captionOnTop = captionColumns + 2 <= inner;
  if (!captionOnTop)
    for (Line& l : fold({{caption, Tone::Title}}, inner, 2)) body.push_back(std::move(l));
  for (const Line& line : content)
    for (Line& l : fold(line, inner, 4)) body.push_back(std::move(l));

  std::vector<std::string> out;
  const std::string edge = concat({"+", repeated('-', inner + 2), "+"});
  const Line top = captionOnTop ? Line{{"+- "}, {caption, Tone::Title}, {concat({" ", repeated('-', inner - captionColumns - 1), "+"})}}
                                : Line{{edge}};
  out.push_back(render(top, colour));
  for (const Line& l : body) out.push_back(concat({"| ", render(l, colour), repeated(' ', inner - columnsOf(l)), " |"}));
  out.push_back(edge);
  return out;
}

}  // namespace orvel::gui::text
