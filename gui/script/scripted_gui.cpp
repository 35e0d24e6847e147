// The scripted GUI: runs the windows from a script of user actions and writes
// a transcript of what a user would see.
#include "gui/script/scripted_gui.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <sstream>

namespace orvel::gui {
namespace {

using Verb = ScriptAction::Verb;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Splits off the first blank-separated word; `rest` is what follows the one
// blank after it (the text of `set` keeps its own blanks).
std::string_view firstWord(std::string_view s, std::string_view& rest) {
  const size_t blank = s.find(' ');
  if (blank == std::string_view::npos) {
    rest = {};
    return s;
  }
  rest = s.substr(blank + 1);
  return s.substr(0, blank);
}

bool parseTarget(std::string_view target, ScriptAction& action, std::string& error) {
  const size_t dot = target.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == target.size()) {
    error = "expected Form.Control, not \"" + std::string(target) + "\"";
    return false;
  }
  action.form = fromUtf8(target.substr(0, dot));
  action.control = fromUtf8(target.substr(dot + 1));
  return true;
}

bool parseFormName(std::string_view name, ScriptAction& action, std::string& error) {
  if (name.empty() || name.find(' ') != std::string_view::npos || name.find('.') != std::string_view::npos) {
    error = "expected a window name, not \"" + std::string(name) + "\"";
    return false;
  }
  action.form = fromUtf8(name);
  return true;
}

std::string utf8(const Str& s) { return toUtf8(s); }

// Button captions match as written or without their "&" and letter case,
// so that "answer Ja" answers "&Ja".
Str looseCaption(const Str& caption) {
  Str out;
  for (char16_t c : caption) {
    if (c == u'&') continue;
    out.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c);
  }
  return out;
}

std::optional<Button> buttonNamed(const std::vector<Button>& buttons, const Str& caption) {
  for (Button b : buttons)
    if (buttonCaption(b) == caption) return b;
  for (Button b : buttons)
    if (looseCaption(buttonCaption(b)) == looseCaption(caption)) return b;
  return std::nullopt;
}

std::string kindWord(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return "warning";
    case MessageKind::Error: return "error";
    case MessageKind::Information: return "information";
    case MessageKind::Confirmation: return "confirmation";
    case MessageKind::Plain: return "plain";
  }
  return "plain";
}

std::string joined(const std::vector<Str>& lines) {
  Str text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u"\n";
    text += lines[i];
  }
  return quoteForTranscript(text);
}

// Which properties each kind shows, in the transcript's order.
struct Shows {
  bool caption, hint, text, checked, index, items, lines;
};

Shows showsOf(Kind kind) {
  switch (kind) {
    case Kind::Button: return {true, true, false, false, false, false, false};
    case Kind::Edit: return {false, true, true, false, false, false, false};
    case Kind::CheckBox: return {true, true, false, true, false, false, false};
    case Kind::ComboBox: return {false, true, true, false, true, true, false};
    case Kind::RadioGroup: return {true, false, false, false, true, true, false};
    case Kind::Label: return {true, false, false, false, false, false, false};
    case Kind::GroupBox: return {true, false, false, false, false, false, false};
    case Kind::ListBox: return {false, false, false, false, true, true, false};
    case Kind::SpeedButton: return {false, true, false, false, false, false, false};
    case Kind::RadioButton: return {true, true, false, true, false, false, false};
    case Kind::Panel: return {true, false, false, false, false, false, false};
    case Kind::Memo: return {false, false, false, false, false, false, true};
    case Kind::Other: break;
  }
  return {};
}

std::string formLine(const Form& form) {
  return utf8(form.name()) + " form caption=" + quoteForTranscript(form.caption()) +
         " visible=" + (form.visible() ? "1" : "0");
}

// A component's dump line; without `lists`, its items and lines are left
// for the caller to show.
std::string componentLine(const Form& form, const Component& c, bool lists = true) {
  const Shows s = showsOf(c.kind());
  std::string line = utf8(form.name()) + "." + utf8(c.name()) + " " + utf8(kindName(c.kind()));
  if (s.caption) line += " caption=" + quoteForTranscript(c.caption());
  if (s.hint) line += " hint=" + quoteForTranscript(c.hint());
  if (s.text) line += " text=" + quoteForTranscript(c.text());
  if (s.checked) line += std::string(" checked=") + (c.checked() ? "1" : "0");
  if (c.kind() != Kind::Other) line += std::string(" enabled=") + (c.enabled() ? "1" : "0");
  if (s.index) line += " index=" + std::to_string(c.itemIndex());
  if (s.items && lists) line += " items=" + joined(c.items());
  if (s.lines && lists) line += " lines=" + joined(c.lines());
  return line;
}

const char* verbWord(Verb verb) {
  switch (verb) {
    case Verb::Answer: return "answer";
    case Verb::Folder: return "folder";
    case Verb::File: return "file";
    case Verb::Cancel: return "cancel";
    default: return "action";
  }
}

}  // namespace

std::string quoteForTranscript(StrView text) {
  std::string out = "\"";
  Str plain;  // a run without escapes, converted whole so that surrogate pairs stay together
  for (char16_t c : text) {
    const char* escape = c == u'"'    ? "\\\""
                         : c == u'\\' ? "\\\\"
                         : c == u'\n'  ? "\\n"
                         : c == u'\r'  ? "\\r"
                         : c == u'\t'  ? "\\t"
                                       : nullptr;
    if (!escape) {
      plain.push_back(c);
      continue;
    }
    out += toUtf8(plain);
    plain.clear();
    out += escape;
  }
  out += toUtf8(plain);
  return out + "\"";
}

bool ScriptAction::isAnswer() const {
  return verb == Verb::Answer || verb == Verb::Folder || verb == Verb::File || verb == Verb::Cancel;
}

std::optional<ScriptAction> parseScriptLine(std::string_view line, std::string& error) {
  error.clear();
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const std::string_view content = trim(line);
  if (content.empty() || content.front() == '#') return std::nullopt;

  // Leading blanks go; the rest of the line after the verb's blank is kept
  // as it stands for the texts.
  std::string_view afterVerb;
  const std::string_view verb = firstWord(line.substr(line.find_first_not_of(" \t")), afterVerb);
  const std::string_view args = trim(afterVerb);
  ScriptAction action{};
  if (verb == "set") {
    std::string_view text;
    const std::string_view target = firstWord(afterVerb, text);
    action.verb = Verb::Set;
    if (!parseTarget(target, action, error)) return std::nullopt;
    action.text = fromUtf8(text);
    return action;
  }
  if (verb == "check" || verb == "uncheck" || verb == "click") {
    action.verb = verb == "check" ? Verb::Check : verb == "uncheck" ? Verb::Uncheck : Verb::Click;
    if (args.find(' ') != std::string_view::npos) {
      error = std::string(verb) + " takes one Form.Control";
      return std::nullopt;
    }
    if (!parseTarget(args, action, error)) return std::nullopt;
    return action;
  }
  if (verb == "select") {
    std::string_view number;
    const std::string_view target = firstWord(args, number);
    action.verb = Verb::Select;
    if (!parseTarget(target, action, error)) return std::nullopt;
    number = trim(number);
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), action.index);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size() || action.index < 0) {
      error = "select needs an item number, not \"" + std::string(number) + "\"";
      return std::nullopt;
    }
    return action;
  }
  if (verb == "close" || verb == "dump") {
    action.verb = verb == "close" ? Verb::Close : Verb::Dump;
    if (!parseFormName(args, action, error)) return std::nullopt;
    return action;
  }
  if (verb == "answer" || verb == "folder" || verb == "file") {
    action.verb = verb == "answer" ? Verb::Answer : verb == "folder" ? Verb::Folder : Verb::File;
    if (args.empty()) {
      error = std::string(verb) + " needs " + (verb == "answer" ? "a button caption" : "a path");
      return std::nullopt;
    }
    action.text = fromUtf8(args);
    return action;
  }
  if (verb == "cancel") {
    if (!args.empty()) {
      error = "cancel takes nothing";
      return std::nullopt;
    }
    action.verb = Verb::Cancel;
    return action;
  }
  error = "unknown action \"" + std::string(verb) + "\"";
  return std::nullopt;
}

const std::vector<ActionUsage>& actionUsages() {
  static const std::vector<ActionUsage> usages{
      {"set", "set Form.Control text", "type the text into an edit field", "set FSetup.EFolder E:\\Apps\\OrvelDraw\\"},
      {"check", "check Form.Control", "tick a check box", "check FSetup.CBPortableApplication"},
      {"uncheck", "uncheck Form.Control", "clear a check box", "uncheck FSetup.CBDesktopSymbol"},
      {"select", "select Form.Control N", "choose item N of a radio group or list", "select FSetup.RGRegOrIni 1"},
      {"click", "click Form.Control", "press a button", "click FSetup.BInstall"},
      {"close", "close Form", "close a window by its close button", "close FSetup"},
      {"answer", "answer Button", "answer the message box that is open", "answer Ja"},
      {"folder", "folder Path", "choose a folder in the folder dialog (a name in its folder, or a full path)",
       "folder E:\\Apps\\"},
      {"file", "file Path", "choose a file in the file dialog (a name in its folder, or a full path)",
       "file english.ini"},
      {"cancel", "cancel", "cancel the dialog or message box", "cancel"},
      {"dump", "dump Form", "write every property of a window", "dump FSetup"},
      {"help", "help", "this list", "help"},
  };
  return usages;
}

std::string actionsOf(Kind kind) {
  switch (kind) {
    case Kind::Edit:
    case Kind::Memo: return "set";
    case Kind::ComboBox: return "set, select";
    case Kind::CheckBox: return "check, uncheck";
    case Kind::RadioButton: return "check";
    case Kind::RadioGroup:
    case Kind::ListBox: return "select";
    case Kind::Button:
    case Kind::SpeedButton: return "click";
    default: return "";
  }
}

std::vector<std::string> dumpForm(const Form& form) {
  std::vector<std::string> lines{formLine(form)};
  for (const auto& component : form.components())
    if (!component->name().empty()) lines.push_back(componentLine(form, *component));
  return lines;
}

std::vector<std::string> dumpFormForTerminal(const Form& form) {
  std::vector<std::string> lines{formLine(form)};
  for (const auto& component : form.components()) {
    const Component& c = *component;
    if (c.name().empty()) continue;
    const Shows s = showsOf(c.kind());
    lines.push_back(componentLine(form, c, false) + (s.items ? " items:" : s.lines ? " lines:" : ""));
    if (s.items)
      for (size_t i = 0; i < c.items().size(); ++i) lines.push_back("    " + std::to_string(i) + " " + utf8(c.items()[i]));
    if (s.lines)
      for (const Str& text : c.lines()) lines.push_back("    " + utf8(text));
  }
  return lines;
}

namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool sameLetterNoCase(char16_t a, char16_t b) { return (a | 0x20) == (b | 0x20); }

bool isDriveLetter(char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; }

// The volume a full path starts with ("C:", "\\server\share") and the
// length it takes; nothing for a path that is not full.
std::optional<size_t> volumeLength(const Str& path) {
  if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == u':' && isSeparator(path[2])) return 2;
  if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1]) || isSeparator(path[2])) return std::nullopt;
  const size_t server = path.find_first_of(u"\\/", 2);
  if (server == Str::npos || server + 1 >= path.size() || isSeparator(path[server + 1])) return std::nullopt;
  const size_t share = path.find_first_of(u"\\/", server + 1);
  return share == Str::npos ? path.size() : share;
}

// A full path with "." and ".." taken out and single backslashes; a
// drive's root, and a path typed with a trailing backslash, end with one.
Str normalPath(const Str& path, size_t volume) {
  Str root = path.substr(0, volume);
  for (char16_t& c : root)
    if (c == u'/') c = u'\\';
  std::vector<Str> parts;
  size_t start = volume;
  while (start < path.size()) {
    size_t end = start;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    const Str part = path.substr(start, end - start);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return root[1] == u':' ? root + u"\\" : root;
  for (const Str& part : parts) root += u"\\" + part;
  return isSeparator(path.back()) ? root + u"\\" : root;
}

}  // namespace

std::optional<Str> dialogPath(const Str& folder, const Str& typed) {
  if (typed.empty()) return std::nullopt;
  if (auto volume = volumeLength(typed)) return normalPath(typed, *volume);
  const auto base = volumeLength(folder);
  // "C:x": relative to the folder when it lies on that drive, else to the drive's root.
  if (typed.size() >= 2 && isDriveLetter(typed[0]) && typed[1] == u':') {
    const bool onDrive = base && *base == 2 && sameLetterNoCase(folder[0], typed[0]);
    const Str path = onDrive ? folder + u"\\" + typed.substr(2) : typed.substr(0, 2) + u"\\" + typed.substr(2);
    return normalPath(path, 2);
  }
  // "\\server" without its share names nothing.
  if (typed.size() >= 2 && isSeparator(typed[0]) && isSeparator(typed[1])) return std::nullopt;
  if (!base) return std::nullopt;
  // "\\x": on the folder's drive or share.
  if (isSeparator(typed[0])) return normalPath(folder.substr(0, *base) + typed, *base);
  return normalPath(folder + u"\\" + typed, *base);
}

// --- the backend ------------------------------------------------------------------

class ScriptedBackend::Peer : public FormPeer {
 public:
  Peer(ScriptedBackend& backend, Form& form) : backend_(backend), form_(form) {}
  void componentAdded(Component&) override { backend_.markChanged(form_); }
  void componentChanged(Component&, Property) override { backend_.markChanged(form_); }
  void formChanged(Property) override { backend_.markChanged(form_); }
  void shown() override {
    backend_.write("show " + utf8(form_.name()) + " " + quoteForTranscript(form_.caption()));
    backend_.markChanged(form_);
    repaint();
  }
  void hidden() override { backend_.write("hide " + utf8(form_.name())); }
  void closed() override { backend_.write("close " + utf8(form_.name())); }
  void repaint() override {
    form_.application().dispatch([this] { form_.paint(); });
  }

 private:
  ScriptedBackend& backend_;
  Form& form_;
};

ScriptedBackend::ScriptedBackend(std::istream& actions, std::ostream& transcript, bool interactive,
                                 std::ostream* display, TerminalStyle style)
    : input_(&actions),
      transcript_(transcript),
      view_(interactive && display ? std::make_unique<TerminalView>(*display, style) : nullptr),
      interactive_(interactive) {}

ScriptedBackend::ScriptedBackend(std::string actions, std::ostream& transcript) : transcript_(transcript) {
  addActions(actions);
}

ScriptedBackend::~ScriptedBackend() = default;

void ScriptedBackend::addActions(std::string_view lines) {
  std::istringstream in{std::string(lines)};
  for (std::string line; std::getline(in, line);) pending_.push_back(line);
}

void ScriptedBackend::write(const std::string& line) {
  transcript_ << line << '\n';
  transcript_.flush();
}

void ScriptedBackend::attach(Application& app) { app_ = &app; }

std::unique_ptr<FormPeer> ScriptedBackend::createPeer(Form& form) { return std::make_unique<Peer>(*this, form); }

const std::string* ScriptedBackend::peekLine() {
  for (;;) {
    if (pending_.empty()) {
      std::string line;
      if (!input_) return nullptr;
      if (view_) view_->prompt();
      if (!std::getline(*input_, line)) return nullptr;
      pending_.push_back(std::move(line));
    }
    std::string error;
    if (parseScriptLine(pending_.front(), error) || !error.empty()) return &pending_.front();
    pending_.pop_front();  // blank or comment
  }
}

std::optional<std::string> ScriptedBackend::takeLine() {
  const std::string* line = peekLine();
  if (!line) return std::nullopt;
  std::string taken = std::move(pending_.front());
  pending_.pop_front();
  return taken;
}

std::optional<ScriptAction> ScriptedBackend::takeAnswer(
    const std::function<std::string(const ScriptAction&)>& refusal) {
  if (interactive_) {
    // A person answers: wait for an answer that fits, saying what is wanted.
    while (auto line = takeLine()) {
      std::string error;
      auto action = parseScriptLine(*line, error);
      if (action && action->isAnswer()) {
        const std::string refused = refusal(*action);
        if (refused.empty()) return action;
        if (view_) view_->note(std::string(trim(*line)) + ": " + refused);
        continue;
      }
      if (view_) view_->note("(a dialog is open: answer it with answer <button>, folder <path>, file <path> or cancel)");
    }
    return std::nullopt;
  }
  const std::string* line = peekLine();
  if (!line) return std::nullopt;
  std::string error;
  auto action = parseScriptLine(*line, error);
  if (!action || !action->isAnswer()) return std::nullopt;
  pending_.pop_front();
  return action;
}

void ScriptedBackend::markChanged(Form& form) {
  if (!interactive_) return;
  for (Form* f : changed_)
    if (f == &form) return;
  changed_.push_back(&form);
}

void ScriptedBackend::printChangedForms() {
  if (view_)
    for (Form* form : changed_)
      if (form->visible()) view_->form(*form);
  changed_.clear();
}

void ScriptedBackend::report(const char* word, const std::string& line, const std::string& reason,
                             const std::vector<std::string>& nearest) {
  write(word + (" " + quoteForTranscript(fromUtf8(line + ": " + reason))));
  if (view_) view_->problem(line + ": " + reason, nearest);
}

// Names a person may have meant by a line that does not parse: an action,
// or for a control named without its window, that control on a shown window.
std::vector<std::string> ScriptedBackend::nearestForMalformed(std::string_view line) const {
  std::string_view rest;
  const std::string_view verb = firstWord(trim(line), rest);
  std::vector<std::string> verbs;
  for (const ActionUsage& usage : actionUsages()) verbs.push_back(usage.verb);
  if (std::find(verbs.begin(), verbs.end(), verb) == verbs.end()) return nearestNames(verb, verbs);
  std::string_view ignored;
  const std::string_view target = firstWord(trim(rest), ignored);
  if (target.empty() || target.find('.') != std::string_view::npos || !app_) return {};
  std::vector<std::string> controls;
  for (const Form* form : app_->forms()) {
    if (!form->visible()) continue;
    for (const auto& c : form->components())
      if (!c->name().empty()) controls.push_back(utf8(form->name()) + "." + utf8(c->name()));
  }
  std::vector<std::string> near;
  for (const std::string& name : controls) {
    const std::string control = name.substr(name.find('.') + 1);
    if (!nearestNames(target, {control}, 1).empty()) near.push_back(name);
  }
  return near;
}

Form* ScriptedBackend::formNamed(const Str& name) { return app_ ? app_->findForm(name) : nullptr; }

void ScriptedBackend::perform(std::string_view line) {
  std::string_view ignored;
  if (view_ && app_ && firstWord(trim(line), ignored) == "help") {
    view_->help(*app_, {actionUsages(), actionsOf});
    return;
  }
  std::string error;
  auto action = parseScriptLine(line, error);
  if (!action) {
    if (!error.empty())
      report("error", std::string(trim(line)), error, view_ ? nearestForMalformed(line) : std::vector<std::string>{});
  } else {
    run(*action, std::string(trim(line)));
  }
  printChangedForms();
}

void ScriptedBackend::run(const ScriptAction& action, const std::string& line) {
  auto fail = [&](const std::string& reason) { report("error", line, reason); };
  auto ignore = [&](const std::string& reason) { report("ignored", line, reason); };

  if (action.isAnswer()) {
    fail(std::string("no message box or dialog is waiting for ") + verbWord(action.verb));
    return;
  }
  Form* form = formNamed(action.form);
  if (!form) {
    std::vector<std::string> windows;
    for (const Form* f : app_ ? app_->forms() : std::vector<Form*>{}) windows.push_back(utf8(f->name()));
    const auto near = nearestNames(utf8(action.form), windows);
    report("error", line, "there is no window " + utf8(action.form), near.empty() ? windows : near);
    return;
  }
  if (action.verb == Verb::Dump) {
    for (const std::string& dumped : dumpForm(*form)) write(dumped);
    // On the terminal the transcript is not shown: the dump is, there.
    if (view_) view_->text(dumpFormForTerminal(*form));
    return;
  }
  if (action.verb == Verb::Close) {
    if (!form->visible())
      ignore("the window is not shown");
    else if (!form->userClose())
      ignore("the window has no close button");
    return;
  }

  Component* control = form->find(action.control);
  if (!control) {
    std::vector<std::string> controls;
    for (const auto& c : form->components())
      if (!c->name().empty() && c->kind() != Kind::Other) controls.push_back(utf8(c->name()));
    const auto near = nearestNames(utf8(action.control), controls);
    report("error", line, "the window " + utf8(action.form) + " has no control " + utf8(action.control),
           near.empty() ? controls : near);
    return;
  }
  const std::string kind = utf8(kindName(control->kind()));
  const Kind k = control->kind();
  switch (action.verb) {
    case Verb::Set:
      if (k != Kind::Edit && k != Kind::Memo && k != Kind::ComboBox) return fail("a " + kind + " takes no text");
      break;
    case Verb::Check:
      if (k != Kind::CheckBox && k != Kind::RadioButton) return fail("a " + kind + " cannot be checked");
      break;
    case Verb::Uncheck:
      if (k != Kind::CheckBox) return fail("a " + kind + " cannot be unchecked");
      break;
    case Verb::Select:
      if (k != Kind::RadioGroup && k != Kind::ComboBox && k != Kind::ListBox)
        return fail("a " + kind + " has no items");
      if (action.index >= static_cast<int>(control->items().size()))
        return fail("there is no item " + std::to_string(action.index));
      break;
    case Verb::Click:
      if (k == Kind::Other) return fail("a " + kind + " cannot be clicked");
      break;
    default: break;
  }

  // What a user cannot reach: a hidden window, a hidden or disabled control.
  if (!form->visible()) return ignore("the window " + utf8(form->name()) + " is not shown");
  for (const Component* c = control; c; c = c->parent()) {
    if (!c->visible()) return ignore(utf8(c->name()) + " is not visible");
    if (!c->enabled()) return ignore(utf8(c->name()) + " is disabled");
  }

  switch (action.verb) {
    case Verb::Set:
      if (!control->userSetText(action.text)) ignore(utf8(control->name()) + " is read-only");
      break;
    case Verb::Check:
    case Verb::Uncheck:
      // Clicking a box into the state it has is no click at all.
      if (control->checked() != (action.verb == Verb::Check)) control->userClick();
      break;
    case Verb::Select: control->userSelect(action.index); break;
    case Verb::Click: control->userClick(); break;
    default: break;
  }
}

void ScriptedBackend::runLoop() {
  while (app_ && !app_->terminated()) {
    printChangedForms();
    auto line = takeLine();
    if (!line) {
      // The actions ran out: as if the user closed the main window.
      if (view_) view_->note("\n(end of input: the program ends as its window's close button ends it)");
      if (Form* main = app_->mainForm()) app_->dispatch([main] { main->close(); });
      app_->terminate();
      break;
    }
    perform(*line);
  }
}

void ScriptedBackend::processMessages() { printChangedForms(); }

void ScriptedBackend::cursorChanged(Cursor cursor) {
  write(cursor == Cursor::Hourglass ? "cursor hourglass" : "cursor default");
}

Button ScriptedBackend::messageBox(const MessageBoxRequest& request) {
  std::string buttons;
  for (Button b : request.buttons) {
    if (!buttons.empty()) buttons += ",";
    buttons += quoteForTranscript(buttonCaption(b));
  }
  const std::string box = "msgbox " + kindWord(request.kind) + " " + quoteForTranscript(request.title) + " " +
                          quoteForTranscript(request.text) + " " + buttons;
  if (view_) view_->messageBox(request);

  Button answer = request.buttons.front();
  bool byDefault = true;
  const auto refusal = [&](const ScriptAction& reply) -> std::string {
    if (reply.verb == Verb::Answer && !buttonNamed(request.buttons, reply.text)) {
      std::string captions;
      for (Button b : request.buttons) captions += (captions.empty() ? "" : ", ") + utf8(buttonCaption(b));
      return "the message box has no such button; its buttons: " + captions;
    }
    if (reply.verb == Verb::Cancel && !buttonNamed(request.buttons, buttonCaption(Button::Cancel)) &&
        !(request.buttons.size() == 1 && request.buttons.front() == Button::Ok))
      return "the message box cannot be cancelled";
    if (reply.verb == Verb::Folder || reply.verb == Verb::File) return "a message box is open, not a dialog";
    return {};
  };
  if (auto reply = takeAnswer(refusal)) {
    const std::string said = std::string(verbWord(reply->verb)) +
                             (reply->text.empty() ? "" : " " + utf8(reply->text));
    if (reply->verb == Verb::Answer) {
      if (auto b = buttonNamed(request.buttons, reply->text)) {
        answer = *b;
        byDefault = false;
      } else {
        write("error " + quoteForTranscript(fromUtf8(said + ": the message box has no such button")));
      }
    } else if (reply->verb == Verb::Cancel) {
      // Escape answers Abbrechen, or OK where that is the only button.
      if (auto b = buttonNamed(request.buttons, buttonCaption(Button::Cancel))) {
        answer = *b;
        byDefault = false;
      } else if (request.buttons.size() == 1 && request.buttons.front() == Button::Ok) {
        byDefault = false;
      } else {
        write("error " + quoteForTranscript(fromUtf8(said + ": the message box cannot be cancelled")));
      }
    } else {
      write("error " + quoteForTranscript(fromUtf8(said + ": a message box is open, not a dialog")));
    }
  }
  write(box + " -> " + quoteForTranscript(buttonCaption(answer)) + (byDefault ? " (default)" : ""));
  return answer;
}

std::optional<Str> ScriptedBackend::folderDialog(const Str& start) {
  if (view_) view_->pathDialog("Choose a folder", {{"opens in", start}}, "folder");
  return answerPathDialog("folderdialog " + quoteForTranscript(start), start, Verb::Folder, "a folder dialog");
}

std::optional<Str> ScriptedBackend::fileDialog(const Str& initialDir, const Str& fileName, const Str& filter) {
  if (view_) view_->pathDialog("Open a file", {{"folder", initialDir}, {"name", fileName}, {"filter", filter}}, "file");
  return answerPathDialog("filedialog " + quoteForTranscript(initialDir) + " " + quoteForTranscript(fileName) + " " +
                              quoteForTranscript(filter),
                          initialDir, Verb::File, "a file dialog");
}

// Both dialogs take a path answer (`folder` or `file`), a name in the
// dialog's `folder` or a full path, or `cancel`; without one they are
// cancelled by default.
std::optional<Str> ScriptedBackend::answerPathDialog(const std::string& dialog, const Str& folder,
                                                      ScriptAction::Verb pathVerb, const char* what) {
  std::optional<Str> chosen;
  bool byDefault = true;
  const auto refusal = [&](const ScriptAction& reply) -> std::string {
    if (reply.verb == Verb::Cancel) return {};
    if (reply.verb != pathVerb) return std::string(what) + " is open";
    if (pathVerb == Verb::File && reply.text.find_first_of(u"*?") != Str::npos)
      return "a pattern only filters the dialog's list: name one file";
    if (!dialogPath(folder, reply.text))
      return reply.text.starts_with(u"\\\\")
                 ? "a network path names its share: \\\\server\\share\\..."
                 : "the dialog shows no folder to find " + utf8(reply.text) + " in: type a full path (C:\\...)";
    return {};
  };
  if (auto reply = takeAnswer(refusal)) {
    if (reply->verb == pathVerb) {
      // What the dialog gives is the full path; a name it cannot place stays as typed.
      chosen = dialogPath(folder, reply->text).value_or(reply->text);
      byDefault = false;
    } else if (reply->verb == Verb::Cancel) {
      byDefault = false;
    } else {
      write("error " + quoteForTranscript(fromUtf8(std::string(verbWord(reply->verb)) + " " + utf8(reply->text) +
                                                   ": " + what + " is open")));
    }
  }
  write(dialog + " -> " + (chosen ? quoteForTranscript(*chosen) : "cancel") + (byDefault ? " (default)" : ""));
  return chosen;
}

// --- owning its streams --------------------------------------------------------------

namespace {

// The streams of an owning backend, constructed before it.
struct OwnedStreams {
  std::unique_ptr<std::istream> script;
  std::unique_ptr<std::ostream> transcript;
};

class OwningScriptedBackend : private OwnedStreams, public ScriptedBackend {
 public:
  OwningScriptedBackend(OwnedStreams streams, bool interactive, std::ostream* display, TerminalStyle style)
      : OwnedStreams(std::move(streams)),
        ScriptedBackend(script ? *script : std::cin, transcript ? *transcript : std::cout, interactive, display,
                        style) {}
};

}  // namespace

std::unique_ptr<ScriptedBackend> makeOwningScriptedBackend(std::unique_ptr<std::istream> script,
                                                           std::unique_ptr<std::ostream> transcript,
                                                           bool interactive, std::ostream* display,
                                                           TerminalStyle style) {
  return std::make_unique<OwningScriptedBackend>(OwnedStreams{std::move(script), std::move(transcript)},
                                                 interactive, display, style);
}

}  // namespace orvel::gui
