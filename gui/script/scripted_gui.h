// The scripted GUI: no windows. It runs the program from a script of user
// actions, one a line, and writes what a user would see as a transcript.
//
// Actions (Form.Control names a component; the rest of the line is the text):
//   set Form.Control text        type the text into an edit field (replacing it)
//   check / uncheck Form.Control click a check box into that state
//   select Form.Control N        select item N of a radio group (combo, list box)
//   click Form.Control           click a button
//   close Form                   close a window through its caption bar
//   answer Caption               answer to the next message box (&Ja, &Nein, OK, Abbrechen)
//   folder Path / file Path      answer to the next folder / file dialog: a name
//                                in the dialog's folder or a full path
//   cancel                       cancel the next dialog (or message box)
//   dump Form                    write every component of the window with its state
// Blank lines and lines starting with "#" are skipped. A trailing CR is dropped.
// At a terminal `help` lists the actions and the controls of the shown
// windows, and each shown window is drawn (gui/terminal/terminal_view.h).
//
// Transcript lines, one event each, texts quoted with `"` and `\` escaped by
// `\` and LF, CR, tab written as \n, \r, \t:
//   show Form "caption" | hide Form | close Form
//   msgbox kind "title" "text" "button","button" -> "answer"
//   folderdialog "start" -> "path"|cancel
//   filedialog "folder" "name" "filter" -> "path"|cancel
//   cursor hourglass|default
//   Form form caption="..." visible=0|1       (dump: the window, then each component)
//   Form.Control kind caption="..." hint="..." text="..." checked=0|1 enabled=0|1 index=N items="..." lines="..."
//   error "..."      a line of the script that cannot be run (unknown window or control, bad action)
//   ignored "..."    an action a user cannot do (a disabled control, a hidden window, no close button)
// A message box or dialog takes its answer from the next line of the script
// when that is an answer (answer, folder, file, cancel); else its first button
// (or cancel) and the line ends with " (default)".
#pragma once

#include <deque>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "gui/backend.h"
#include "gui/terminal/terminal_view.h"

namespace orvel::gui {

// The transcript's quoting: "text" with \, ", LF, CR and tab escaped.
std::string quoteForTranscript(StrView text);

// One line of a script, taken apart.
struct ScriptAction {
  enum class Verb { Set, Check, Uncheck, Select, Click, Close, Answer, Folder, File, Cancel, Dump };
  Verb verb;
  Str form;     // set/check/uncheck/select/click/close/dump
  Str control;  // set/check/uncheck/select/click
  Str text;     // set: the text; answer: the caption; folder/file: the path
  int index = 0;  // select
  bool isAnswer() const;
};

// Parses one line (UTF-8, without its line end). Blank and comment lines give
// nothing with `error` empty; a malformed line gives nothing and the reason.
std::optional<ScriptAction> parseScriptLine(std::string_view line, std::string& error);

// The actions as a person is told of them: how each is written, what it
// does and an example, in the order `help` lists them.
const std::vector<ActionUsage>& actionUsages();
// The actions a control of this kind takes ("click", "set", ...), or "".
std::string actionsOf(Kind kind);

// The transcript line of a form and its components (the `dump` action).
std::vector<std::string> dumpForm(const Form& form);
// The same on a terminal, where a memo's lines and a list's items stand
// below their component, one a line.
std::vector<std::string> dumpFormForTerminal(const Form& form);

// The full path that a folder or file dialog showing `folder` gives for
// what was typed into it, as Windows' dialogs give it: a name or relative
// path ("dutch.ini", "..\x") in that folder, "\x" on its drive, "." and
// ".." resolved, "/" read as "\" (a trailing one kept).
// Nothing for a name that no full path comes of.
std::optional<Str> dialogPath(const Str& folder, const Str& typed);

class ScriptedBackend : public Backend {
 public:
  // Actions from a stream that outlives the backend; transcript to `transcript`.
  // Interactive: a person types the actions (a terminal): message boxes wait
  // for their answer, and every shown window is drawn on `display` in
  // `style` when it appears or changes.
  ScriptedBackend(std::istream& actions, std::ostream& transcript, bool interactive = false,
                  std::ostream* display = nullptr, TerminalStyle style = {});
  // Actions from a text (tests); more can be added with addActions.
  ScriptedBackend(std::string actions, std::ostream& transcript);
  ~ScriptedBackend() override;

  // Appends action lines ("a\nb\n") after those not yet read.
  void addActions(std::string_view lines);
  // Runs one action line now, as the loop does (tests drive the windows with it).
  void perform(std::string_view line);
  // Writes a line to the transcript.
  void write(const std::string& line);

  void attach(Application& app) override;
  std::unique_ptr<FormPeer> createPeer(Form& form) override;
  void runLoop() override;
  void processMessages() override;
  void cursorChanged(Cursor cursor) override;
  Button messageBox(const MessageBoxRequest& request) override;
  std::optional<Str> folderDialog(const Str& start) override;
  std::optional<Str> fileDialog(const Str& initialDir, const Str& fileName, const Str& filter) override;

 private:
  class Peer;
  friend class Peer;

  // The next line of the script that is not blank or a comment, without taking it.
  const std::string* peekLine();
  std::optional<std::string> takeLine();
  // The answer for a dialog: the next line when it is an answer, else nothing.
  // Interactive, an answer that `refusal` refuses (a reason) is told to the
  // person, who answers again; from a script it is taken as it is.
  std::optional<ScriptAction> takeAnswer(const std::function<std::string(const ScriptAction&)>& refusal);
  std::optional<Str> answerPathDialog(const std::string& dialog, const Str& folder, ScriptAction::Verb pathVerb,
                                      const char* what);
  // A line that cannot be done (`word`: error or ignored) into the
  // transcript, and to the person with the names nearest to what was typed.
  void report(const char* word, const std::string& line, const std::string& reason,
              const std::vector<std::string>& nearest = {});
  std::vector<std::string> nearestForMalformed(std::string_view line) const;
  void run(const ScriptAction& action, const std::string& line);
  Form* formNamed(const Str& name);
  Component* controlNamed(const ScriptAction& action);
  bool usable(const Component& control, const char* verb);
  void printChangedForms();
  void markChanged(Form& form);

  Application* app_ = nullptr;
  std::istream* input_ = nullptr;
  std::ostream& transcript_;
  std::unique_ptr<TerminalView> view_;  // interactive, with somewhere to draw
  bool interactive_ = false;
  std::deque<std::string> pending_;  // lines read ahead or added
  std::vector<Form*> changed_;       // forms to print (interactive)
};

// A scripted backend that owns its streams: a null script reads standard
// input, a null transcript writes standard output.
std::unique_ptr<ScriptedBackend> makeOwningScriptedBackend(std::unique_ptr<std::istream> script,
                                                           std::unique_ptr<std::ostream> transcript,
                                                           bool interactive = false,
                                                           std::ostream* display = nullptr,
                                                           TerminalStyle style = {});

}  // namespace orvel::gui
