// The program's windows drawn on a terminal.
#include "gui/terminal/terminal_view.h"

#include <algorithm>
#include <cstdlib>

#include "gui/terminal/terminal_text.h"

namespace orvel::gui {
namespace {

using text::columnsOf;
using text::fold;
using text::Line;
using text::render;
using text::Span;
using text::Tone;

// Wider than any terminal is wide: a line this long is folded all the same.
constexpr int kWidest = 4096;

int widthOf(const TerminalStyle& style) { return std::clamp(style.width, text::kNarrowest, kWidest); }

std::vector<std::string> framed(const std::string& caption, const std::vector<Line>& content,
                                const TerminalStyle& style) {
  return text::framed(caption, content, widthOf(style), style.colour);
}

// Lines below a frame, folded to the terminal.
void appendFolded(std::vector<std::string>& out, const Line& line, const TerminalStyle& style, int indent) {
  for (const Line& l : fold(line, widthOf(style), indent)) out.push_back(render(l, style.colour));
}

// --- the controls ----------------------------------------------------------------------

constexpr int kMemoLines = 12;      // the last lines of a long memo
constexpr int kRowSlack = 8;        // pixels: controls whose tops lie this close share a row
constexpr int kEditColumns = 20;    // an edit field is at least this wide
constexpr const char* kBetween = "   ";

// "&Ja" as it looks: "Ja" ("&&" is an ampersand).
std::string withoutAccelerator(const Str& caption) {
  Str out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    else if (caption[i] == u'&') continue;
    out.push_back(caption[i]);
  }
  return toUtf8(out);
}

std::string trimmed(const Str& text) {
  const std::string s = toUtf8(text);
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool reachable(const Component& c) {
  for (const Component* p = &c; p; p = p->parent())
    if (!p->visible()) return false;
  return true;
}

bool usable(const Component& c) {
  for (const Component* p = &c; p; p = p->parent())
    if (!p->enabled()) return false;
  return true;
}

Bounds onForm(const Component& c) {
  Bounds b = c.bounds();
  for (const Component* p = c.parent(); p; p = p->parent()) {
    b.left += p->bounds().left;
    b.top += p->bounds().top;
  }
  return b;
}

bool isBlock(Kind kind) { return kind == Kind::Memo || kind == Kind::RadioGroup || kind == Kind::ListBox; }

// What a control shows after its name, on one line.
Line controlFace(const Component& c) {
  switch (c.kind()) {
    case Kind::Edit: {
      std::string text = toUtf8(c.text());
      text.append(static_cast<size_t>(std::max(0, kEditColumns - columnsOf(text))), ' ');
      return {{"["}, {text, Tone::Plain, false, false}, {"]"}};
    }
    case Kind::ComboBox: return {{"["}, {toUtf8(c.text()), Tone::Plain, false, false}, {" v]"}};
    case Kind::CheckBox: return {{c.checked() ? "[x] " : "[ ] "}, {withoutAccelerator(c.caption())}};
    case Kind::RadioButton: return {{c.checked() ? "(*) " : "( ) "}, {withoutAccelerator(c.caption())}};
    case Kind::Button: return {{"< " + withoutAccelerator(c.caption()) + " >", Tone::Plain, false, false}};
    case Kind::SpeedButton:
      return {{c.caption().empty() ? "[...]" : "[" + withoutAccelerator(c.caption()) + "]", Tone::Plain, false, false}};
    case Kind::Panel:
    case Kind::GroupBox: return {{trimmed(c.caption()), Tone::Title}};
    default: return {{withoutAccelerator(c.caption())}};
  }
}

Line named(const Component& c, Line face, bool colour) {
  Line line{{toUtf8(c.name()), Tone::Name, false, false}, {": "}};
  for (Span& s : face) line.push_back(std::move(s));
  if (!usable(c)) {
    for (Span& s : line) s.dim = true;
    if (!colour) line.push_back({" (disabled)"});
  }
  return line;
}

// A memo, radio group or list box: its name and caption, then its lines.
std::vector<Line> controlBlock(const Component& c, bool colour) {
  std::vector<Line> lines;
  lines.push_back(named(c, {{trimmed(c.caption()), Tone::Title}}, colour));
  const bool dim = !usable(c);
  if (c.kind() == Kind::Memo) {
    const auto& text = c.lines();
    const size_t first = text.size() > kMemoLines ? text.size() - kMemoLines : 0;
    if (first > 0)
      lines.push_back({{"  ... " + std::to_string(first) + (first == 1 ? " earlier line (dump " : " earlier lines (dump ") + toUtf8(c.form().name()) +
                            " shows them)",
                        Tone::Hint, dim}});
    for (size_t i = first; i < text.size(); ++i) lines.push_back({{"  "}, {toUtf8(text[i]), Tone::Plain, dim}});
    return lines;
  }
  for (size_t i = 0; i < c.items().size(); ++i) {
    const bool selected = static_cast<int>(i) == c.itemIndex();
    const std::string mark = c.kind() == Kind::RadioGroup ? (selected ? "(*) " : "( ) ") : (selected ? "> " : "  ");
    lines.push_back({{"  " + std::to_string(i) + " ", Tone::Name, dim, false}, {mark + toUtf8(c.items()[i]), Tone::Plain, dim}});
  }
  return lines;
}

struct Placed {
  const Component* control;
  Bounds at;
};

// The controls a person sees, top to bottom, left to right.
std::vector<Placed> visibleControls(const Form& form) {
  std::vector<Placed> placed;
  for (const auto& c : form.components()) {
    if (c->name().empty() || c->kind() == Kind::Other || !reachable(*c)) continue;
    if ((c->kind() == Kind::Panel || c->kind() == Kind::GroupBox) && trimmed(c->caption()).empty()) continue;
    placed.push_back({c.get(), onForm(*c)});
  }
  std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
    return a.at.top != b.at.top ? a.at.top < b.at.top : a.at.left < b.at.left;
  });
  return placed;
}

// Rows of controls that lie side by side; a block is a row of its own.
std::vector<std::vector<Placed>> rowsOf(const std::vector<Placed>& placed) {
  std::vector<std::vector<Placed>> rows;
  for (const Placed& p : placed) {
    const bool joins = !rows.empty() && !isBlock(p.control->kind()) && !isBlock(rows.back().front().control->kind()) &&
                       p.at.top <= rows.back().front().at.top + kRowSlack;
    if (joins)
      rows.back().push_back(p);
    else
      rows.push_back({p});
  }
  for (auto& row : rows)
    std::stable_sort(row.begin(), row.end(), [](const Placed& a, const Placed& b) { return a.at.left < b.at.left; });
  return rows;
}

// A row's controls on lines of at most `width` columns, whole controls
// moving to the next line before any control folds.
std::vector<Line> rowLines(const std::vector<Placed>& row, int width, bool colour) {
  std::vector<Line> lines;
  if (isBlock(row.front().control->kind())) return controlBlock(*row.front().control, colour);
  Line current;
  for (const Placed& p : row) {
    Line item = named(*p.control, controlFace(*p.control), colour);
    if (!current.empty() && columnsOf(current) + columnsOf(kBetween) + columnsOf(item) > width) {
      lines.push_back(std::move(current));
      current.clear();
    }
    if (!current.empty()) current.push_back({kBetween});
    for (Span& s : item) current.push_back(std::move(s));
  }
  lines.push_back(std::move(current));
  return lines;
}

const char* symbolOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return "(!) ";
    case MessageKind::Error: return "(x) ";
    case MessageKind::Information: return "(i) ";
    case MessageKind::Confirmation: return "(?) ";
    case MessageKind::Plain: return "";
  }
  return "";
}

std::vector<Line> textLines(const Str& text, const std::string& prefix) {
  std::vector<Line> lines;
  std::string rest = toUtf8(text);
  std::string first = prefix;
  for (;;) {
    const size_t end = rest.find('\n');
    std::string line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back({{first + line}});
    first = std::string(prefix.size(), ' ');
    if (end == std::string::npos) return lines;
    rest.erase(0, end + 1);
  }
}

// Levenshtein distance of ASCII-lowered texts.
size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

// --- public drawing --------------------------------------------------------------------

std::vector<std::string> drawForm(const Form& form, const TerminalStyle& style) {
  const int inner = widthOf(style) - 4;  // inside "| " and " |"
  std::vector<Line> content;
  for (const auto& row : rowsOf(visibleControls(form)))
    for (Line& line : rowLines(row, inner, style.colour)) content.push_back(std::move(line));
  return framed(toUtf8(form.caption()), content, style);
}

std::vector<std::string> drawMessageBox(const MessageBoxRequest& request, const TerminalStyle& style) {
  std::vector<Line> content = textLines(request.text, symbolOf(request.kind));
  content.push_back({});
  Line buttons;
  for (Button b : request.buttons) {
    if (!buttons.empty()) buttons.push_back({kBetween});
    buttons.push_back({"< " + withoutAccelerator(buttonCaption(b)) + " >", Tone::Title, false, false});
  }
  content.push_back(std::move(buttons));
  std::vector<std::string> out = framed(toUtf8(request.title), content, style);
  std::string answers;
  for (Button b : request.buttons)
    answers += (answers.empty() ? "" : " | ") + std::string("answer ") + withoutAccelerator(buttonCaption(b));
  appendFolded(out, {{"type " + answers, Tone::Hint}}, style, 2);
  return out;
}

std::vector<std::string> drawPathDialog(const std::string& title,
                                        const std::vector<std::pair<std::string, Str>>& fields,
                                        const std::string& answerVerb, const TerminalStyle& style) {
  std::vector<Line> content;
  for (const auto& [label, value] : fields)
    content.push_back({{label + ": "}, {toUtf8(value), Tone::Plain, false, false}});
  std::vector<std::string> out = framed(title, content, style);
  appendFolded(out, {{"type " + answerVerb + " <path> | cancel", Tone::Hint}}, style, 2);
  return out;
}

std::vector<std::string> helpLines(const Application& app, const ActionHelp& actions, const TerminalStyle& style) {
  std::vector<Line> lines{{{"Actions, one a line (Form.Control names a control of a window below):", Tone::Title}}};
  size_t usageColumns = 0;
  for (const ActionUsage& a : actions.usages) usageColumns = std::max(usageColumns, std::string(a.usage).size());
  for (const ActionUsage& a : actions.usages) {
    std::string usage = a.usage;
    usage.resize(usageColumns + 2, ' ');
    lines.push_back({{"  " + usage}, {a.what}, {"   e.g. "}, {a.example, Tone::Name, false, false}});
  }
  lines.push_back({{"Ctrl-D ends the program as the main window's close button does."}});
  lines.push_back({{"Windows on screen:", Tone::Title}});
  for (const Form* form : app.forms()) {
    if (!form->visible()) continue;
    lines.push_back({{"  " + toUtf8(form->name()), Tone::Name, false, false}, {"  \"" + toUtf8(form->caption()) + "\""}});
    Line controls{{"    "}};
    std::vector<Placed> inRows;
    for (const auto& row : rowsOf(visibleControls(*form))) inRows.insert(inRows.end(), row.begin(), row.end());
    for (const Placed& p : inRows) {
      const std::string does = actions.actionsOf(p.control->kind());
      if (controls.size() > 1) controls.push_back({", "});
      controls.push_back({toUtf8(p.control->name()), Tone::Name, !usable(*p.control), false});
      controls.push_back({does.empty() ? "" : " (" + does + ")"});
    }
    if (controls.size() > 1) lines.push_back(std::move(controls));
  }
  std::vector<std::string> out;
  for (const Line& line : lines) appendFolded(out, line, style, 6);
  return out;
}

std::vector<std::string> nearestNames(std::string_view typed, const std::vector<std::string>& names, size_t most) {
  const std::string want = lowered(typed);
  const size_t limit = std::max<size_t>(2, want.size() / 3);
  std::vector<std::pair<size_t, std::string>> near;
  for (const std::string& name : names) {
    const std::string have = lowered(name);
    const size_t distance = editDistance(want, have);
    const bool contains = !want.empty() && (have.find(want) != std::string::npos || want.find(have) != std::string::npos);
    if (distance <= limit || contains) near.emplace_back(contains ? std::min(distance, limit) : distance, name);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& [distance, name] : near) {
    if (out.size() == most) break;
    if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
  }
  return out;
}

TerminalStyle terminalStyleFor(terminal::Stream stream) {
  TerminalStyle style;
  if (auto columns = terminal::columns(stream)) {
    style.width = *columns;
  } else if (auto variable = environmentVariable("COLUMNS")) {
    const int given = std::atoi(toUtf8(*variable).c_str());
    if (given > 0) style.width = given;
  }
  const auto noColour = environmentVariable("NO_COLOR");
  const auto term = environmentVariable("TERM");
  style.colour = terminal::isTerminal(stream) && (!noColour || noColour->empty()) && term && !term->empty() &&
                 *term != u"dumb";
  return style;
}

// --- the view ------------------------------------------------------------------------------

void TerminalView::print(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) out_ << line << '\n';
  out_.flush();
}

void TerminalView::form(const Form& form) { print(drawForm(form, style_)); }

void TerminalView::messageBox(const MessageBoxRequest& request) { print(drawMessageBox(request, style_)); }

void TerminalView::pathDialog(const std::string& title, const std::vector<std::pair<std::string, Str>>& fields,
                              const std::string& answerVerb) {
  print(drawPathDialog(title, fields, answerVerb, style_));
}

void TerminalView::help(const Application& app, const ActionHelp& actions) {
  print(helpLines(app, actions, style_));
}

void TerminalView::problem(const std::string& reason, const std::vector<std::string>& nearest) {
  Line line{{reason, Tone::Hint}};
  if (!nearest.empty()) {
    std::string names;
    for (const std::string& n : nearest) names += (names.empty() ? "" : ", ") + n;
    line.push_back({nearest.size() == 1 ? "; did you mean " : "; nearest: ", Tone::Hint});
    line.push_back({names, Tone::Name});
  } else {
    line.push_back({" (help lists the actions)", Tone::Hint});
  }
  std::vector<std::string> lines;
  appendFolded(lines, line, style_, 2);
  print(lines);
}

void TerminalView::note(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t end = text.find('\n', start);
    appendFolded(lines, {{text.substr(start, end - start), Tone::Hint}}, style_, 2);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  print(lines);
}

void TerminalView::text(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    for (const Line& l : fold({{line}}, std::max(20, style_.width), 6)) out.push_back(render(l, style_.colour));
  print(out);
}

void TerminalView::prompt() {
  out_ << render({{"> ", Tone::Title}}, style_.colour);
  out_.flush();
}

}  // namespace orvel::gui
