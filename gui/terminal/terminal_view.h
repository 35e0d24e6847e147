// The program's windows drawn on a terminal, for a person who types the
// scripted GUI's actions there: a frame with the caption, the visible
// controls in rows as they lie (top to bottom, left to right), each with the
// name to type, message boxes and dialogs with what answers them, and help.
//
// Plain text with ANSI colour sequences only where the terminal takes them:
// the program writes whole lines and reads whole lines, so it needs nothing
// of a screen library and leaves the terminal's scroll-back as a record.
// The transcript is not written here; it stays the scripted GUI's.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "gui/backend.h"
#include "platform/terminal.h"

namespace orvel::gui {

// What help tells of the actions a person can type: each action as it is
// written, what it does and an example, and the actions a control of a kind
// takes ("click", "set", ...). The scripted GUI, whose actions they are,
// hands them in.
struct ActionUsage {
  const char* verb;
  const char* usage;
  const char* what;
  const char* example;
};
struct ActionHelp {
  const std::vector<ActionUsage>& usages;
  std::string (*actionsOf)(Kind kind);
};

struct TerminalStyle {
  int width = 80;       // columns; a longer line folds
  bool colour = false;  // bold, dim and coloured names by SGR sequences
};

// The style for a terminal on `stream`: its width (else COLUMNS, else 80);
// colour when it is a terminal, NO_COLOR is unset or empty and TERM is set
// and not "dumb".
TerminalStyle terminalStyleFor(terminal::Stream stream);

// A window as a person sees it, one string a line, without line ends.
std::vector<std::string> drawForm(const Form& form, const TerminalStyle& style);
std::vector<std::string> drawMessageBox(const MessageBoxRequest& request, const TerminalStyle& style);
// A folder or file dialog: its title, what it was opened with (label, value)
// and how to answer it.
std::vector<std::string> drawPathDialog(const std::string& title,
                                        const std::vector<std::pair<std::string, Str>>& fields,
                                        const std::string& answerVerb, const TerminalStyle& style);
// The actions with an example each, and the controls of the shown windows.
std::vector<std::string> helpLines(const Application& app, const ActionHelp& actions, const TerminalStyle& style);

// The names nearest to what was typed (letter case ignored): those within a
// few edits or containing it, best first, at most `most`.
std::vector<std::string> nearestNames(std::string_view typed, const std::vector<std::string>& names,
                                      size_t most = 3);

// What a person at the terminal sees besides the windows.
class TerminalView {
 public:
  TerminalView(std::ostream& out, TerminalStyle style) : out_(out), style_(style) {}

  const TerminalStyle& style() const { return style_; }
  void form(const Form& form);
  void messageBox(const MessageBoxRequest& request);
  void pathDialog(const std::string& title, const std::vector<std::pair<std::string, Str>>& fields,
                  const std::string& answerVerb);
  void help(const Application& app, const ActionHelp& actions);
  // A typed line that could not be done, and the names that come nearest.
  void problem(const std::string& reason, const std::vector<std::string>& nearest);
  void note(const std::string& text);
  // Plain lines, as they are but folded to the terminal's width.
  void text(const std::vector<std::string>& lines);
  // Asks for the next line.
  void prompt();

 private:
  void print(const std::vector<std::string>& lines);

  std::ostream& out_;
  TerminalStyle style_;
};

}  // namespace orvel::gui
