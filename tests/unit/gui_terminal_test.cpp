// Windows drawn on a terminal: their rendered text, folding to the
// terminal's width, colour, message boxes, help and the nearest names; and a
// person typing at the scripted GUI.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "gui/gui.h"
#include "gui/script/scripted_gui.h"
#include "gui/terminal/terminal_view.h"

namespace orvel::gui {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int columns(const std::string& line) {
  return static_cast<int>(std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

// A window with a control of each kind that a person works with, created in
// an order other than their positions.
class DrawnWindow : public Form {
 public:
  explicit DrawnWindow(Application& app) : Form(app, u"FTest") {
    setCaption(u"Prüfung");
    place(Kind::Button, u"BGo", {300, 14, 75, 25}).setCaption(u"&Weiter");
    place(Kind::Label, u"LWhere", {8, 0, 100, 13}).setCaption(u"Wohin?");
    place(Kind::Edit, u"EPath", {8, 12, 200, 21}).setText(u"C:\\Program Files\\Orvel");
    Component& group = place(Kind::RadioGroup, u"RGWhere", {8, 40, 150, 60});
    group.setCaption(u" Ablage ");
    group.setItems({u"Registry", u"INI"});
    group.setItemIndex(1);
    place(Kind::CheckBox, u"CBLink", {8, 110, 150, 17}).setCaption(u"Verknüpfung");
    Component& off = place(Kind::CheckBox, u"CBOff", {200, 112, 150, 17});
    off.setCaption(u"Aus");
    off.setChecked(true);
    off.setEnabled(false);
    place(Kind::Label, u"LHidden", {8, 130, 100, 13}).setVisible(false);
    Component& panel = place(Kind::Panel, u"PBottom", {0, 150, 400, 40});
    place(Kind::Button, u"BBack", {8, 4, 75, 25}, &panel).setCaption(u"Zurück");
    memo = &place(Kind::Memo, u"MLog", {0, 200, 400, 100});
    addComponent<OpenDialog>(u"ODOpen");
    created();
  }
  Component* memo;

 private:
  Component& place(Kind kind, const char16_t* name, Bounds bounds, Component* parent = nullptr) {
    Component& c = add(kind, name, parent);
    c.setBounds(bounds);
    return c;
  }
};

class Drawing : public ::testing::Test {
 protected:
  std::ostringstream transcript;
  Application app{std::make_unique<ScriptedBackend>(std::string(), transcript)};
  DrawnWindow window{app};
};

TEST_F(Drawing, AWindowShowsItsControlsInRowsByPositionWithTheirNames) {
  std::vector<Str> log;
  for (int i = 1; i <= 14; ++i) log.push_back(u"Zeile " + fromUtf8(std::to_string(i)));
  window.memo->setLines(log);
  const std::vector<std::string> expected = {
      "+- Prüfung -------------------------------------------+",
      "| LWhere: Wohin?                                      |",
      "| EPath: [C:\\Program Files\\Orvel]   BGo: < Weiter >   |",
      "| RGWhere: Ablage                                     |",
      "|   0 ( ) Registry                                    |",
      "|   1 (*) INI                                         |",
      "| CBLink: [ ] Verknüpfung   CBOff: [x] Aus (disabled) |",
      "| BBack: < Zurück >                                   |",
      "| MLog:                                               |",
      "|   ... 2 earlier lines (dump FTest shows them)       |",
      "|   Zeile 3                                           |",
      "|   Zeile 4                                           |",
      "|   Zeile 5                                           |",
      "|   Zeile 6                                           |",
      "|   Zeile 7                                           |",
      "|   Zeile 8                                           |",
      "|   Zeile 9                                           |",
      "|   Zeile 10                                          |",
      "|   Zeile 11                                          |",
      "|   Zeile 12                                          |",
      "|   Zeile 13                                          |",
      "|   Zeile 14                                          |",
      "+-----------------------------------------------------+",
  };
  EXPECT_EQ(drawForm(window, {70, false}), expected) << joined(drawForm(window, {70, false}));
}

TEST_F(Drawing, ANarrowTerminalFoldsLinesAndKeepsPathsWhole) {
  window.memo->setLines({u"Kopiere C:\\dist\\english.ini nach C:\\Program Files\\Orvel\\x.ini",
                         u"Lösche C:\\Program Files\\OrvelDraw\\x.ini", u"D:\\" + Str(60, u'x') + u"\\y.ini"});
  window.find(u"EPath")->setText(u"C:\\Users\\%Username%\\AppData\\Roaming\\OrvelDraw\\");
  const auto lines = drawForm(window, {40, false});
  for (const std::string& line : lines) EXPECT_LE(columns(line), 40) << line;
  const std::string all = joined(lines);
  // Whole controls move to the next line before any of them folds.
  EXPECT_NE(all.find("| BGo: < Weiter >"), std::string::npos) << all;
  // A path folds at the blank before it, or moves whole to the next line
  // when it would fold at a blank of its own; one wider than a line goes on
  // over the next lines, with nothing left out.
  EXPECT_NE(all.find("|     C:\\Program Files\\Orvel\\x.ini"), std::string::npos) << all;
  EXPECT_NE(all.find("|   Lösche  "), std::string::npos) << all;
  EXPECT_NE(all.find("|     C:\\Program Files\\OrvelDraw\\x.ini |"), std::string::npos) << all;
  std::string unframed;
  for (const std::string& line : lines) {
    std::string inner = line.substr(2, line.size() - 4);
    inner.erase(inner.find_last_not_of(' ') + 1);
    unframed += inner.substr(inner.find_first_not_of(' ') == std::string::npos ? 0 : inner.find_first_not_of(' '));
  }
  EXPECT_NE(unframed.find("D:\\" + std::string(60, 'x') + "\\y.ini"), std::string::npos) << all;
  EXPECT_NE(unframed.find("C:\\Users\\%Username%\\AppData\\Roaming\\OrvelDraw\\"), std::string::npos) << all;
}

// The columns a terminal gives the characters these tests draw: the wide
// ones (中, 😀) two, the combining acute none, every other code point one.
int terminalColumns(const std::string& line) {
  int n = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if ((line[i] & 0xC0) == 0x80) continue;
    if (line.compare(i, 3, "\u4E2D") == 0 || line.compare(i, 4, "\U0001F600") == 0) n += 2;
    else if (line.compare(i, 2, "\u0301") != 0) n += 1;
  }
  return n;
}

// Whatever a window holds and however narrow or wide the terminal, every
// line stays inside the terminal, the frame stays closed (each of its lines
// as wide as its top) and no control character reaches the terminal. The
// log lines of an installation from folders of every length once overflowed
// the frame when a path moved to the next line and aborted the program.
TEST_F(Drawing, EveryLineFitsTheTerminalAndTheFrameStaysClosed) {
  const std::vector<Str> hostile = {
      u"", u"\t\tTab\tund\x1b[31mEscape\x07\x7f\u0085",
      u"\u4E2D\u4E2D\u4E2D \U0001F600\U0001F600 e\u0301e\u0301 " + Str(30, u'\u4E2D'),
      Str(500, u'w') + u" " + Str(3, u'\u0301'),
  };
  for (int width : {20, 21, 23, 24, 25, 30, 40, 59, 60, 61, 79, 80, 100, 120, 400}) {
    for (size_t pathLength = 3; pathLength <= 120; pathLength += 7) {
      const Str path = u"C:\\" + Str(pathLength, u'p') + u"\\languages\\english.ini";
      std::vector<Str> log = {u"Kopiere " + path + u" nach C:\\Program Files\\OrvelDraw\\",
                              u"directory already exists: " + path, u"Deleting Deleting " + path};
      log.insert(log.end(), hostile.begin(), hostile.end());
      window.memo->setLines(log);
      window.setCaption(width % 2 ? Str(pathLength, u'T') : u"Pr\u00fcfung");
      window.find(u"EPath")->setText(path);
      std::vector<std::vector<std::string>> drawings = {drawForm(window, {width, false}), drawForm(window, {width, true})};
      drawings.push_back(drawMessageBox({MessageKind::Error, path, log[0] + u"\n" + hostile[1] + u"\n" + hostile[2],
                                         {Button::Yes, Button::No, Button::Cancel}}, {width, false}));
      for (size_t d = 0; d < drawings.size(); ++d) {
        int frame = -1;
        for (const std::string& line : drawings[d]) {
          std::string visible;  // without the colour sequences
          for (size_t k = 0; k < line.size(); ++k) {
            if (line[k] == '\x1b' && d == 1) k = line.find('m', k);
            else visible += line[k];
          }
          SCOPED_TRACE("width " + std::to_string(width) + ", path of " + std::to_string(pathLength) + ": " + line);
          ASSERT_LE(terminalColumns(visible), std::max(width, 20));
          ASSERT_TRUE(std::none_of(visible.begin(), visible.end(), [](char c) { return c >= 0 && c < 0x20; }));
          if (frame < 0) frame = terminalColumns(visible);
          if (visible.starts_with("+") || visible.starts_with("|")) {
            ASSERT_EQ(terminalColumns(visible), frame);
          }
        }
      }
    }
  }
  window.show();
  for (const std::string& line : helpLines(app, {actionUsages(), actionsOf}, {20, false})) EXPECT_LE(terminalColumns(line), 20) << line;
}

// An empty window is a closed frame around its caption.
TEST(TerminalDrawing, AnEmptyWindowIsAClosedFrame) {
  std::ostringstream transcript;
  Application app{std::make_unique<ScriptedBackend>(std::string(), transcript)};
  struct EmptyWindow : Form {
    explicit EmptyWindow(Application& a) : Form(a, u"FEmpty") { created(); }
  } empty(app);
  EXPECT_EQ(drawForm(empty, {20, false}), (std::vector<std::string>{"+-  -+", "+----+"}));
}

TEST_F(Drawing, ColourOnlyWhenAskedForAndDisabledControlsDimmed) {
  const std::string plain = joined(drawForm(window, {80, false}));
  EXPECT_EQ(plain.find('\x1b'), std::string::npos);
  const std::string coloured = joined(drawForm(window, {80, true}));
  EXPECT_NE(coloured.find("\x1b[2;36mCBOff\x1b[0m"), std::string::npos) << coloured;
  EXPECT_NE(coloured.find("\x1b[36mCBLink\x1b[0m"), std::string::npos) << coloured;
  EXPECT_EQ(coloured.find("(disabled)"), std::string::npos);
  // Sequences take no columns: the frame stays straight.
  for (const std::string& line : drawForm(window, {80, true})) {
    std::string visible;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\x1b') i = line.find('m', i);
      else visible += line[i];
    }
    EXPECT_EQ(columns(visible), columns(drawForm(window, {80, true}).back())) << line;
  }
}

TEST(TerminalDrawing, AMessageBoxShowsTitleTextButtonsAndHowToAnswer) {
  const MessageBoxRequest box{MessageKind::Confirmation, u"Bestätigen", u"Keine Administorrechte.\nFortsetzen?",
                              {Button::Yes, Button::No}};
  const std::vector<std::string> expected = {
      "+- Bestätigen ----------------+",
      "| (?) Keine Administorrechte. |",
      "|     Fortsetzen?             |",
      "|                             |",
      "| < Ja >   < Nein >           |",
      "+-----------------------------+",
      "type answer Ja | answer Nein",
  };
  EXPECT_EQ(drawMessageBox(box, {80, false}), expected) << joined(drawMessageBox(box, {80, false}));
}

TEST(TerminalDrawing, NearestNamesIgnoreCaseAndLeaveOutFarOnes) {
  const std::vector<std::string> names{"BInstall", "BDeinstall", "BClose", "EFolder", "CBStartmenu"};
  EXPECT_EQ(nearestNames("binstal", names), std::vector<std::string>{"BInstall"});
  EXPECT_EQ(nearestNames("BInstall", names), (std::vector<std::string>{"BInstall", "BDeinstall"}));
  EXPECT_EQ(nearestNames("Close", names), std::vector<std::string>{"BClose"});
  EXPECT_EQ(nearestNames("startmenu", names), std::vector<std::string>{"CBStartmenu"});
  EXPECT_TRUE(nearestNames("Language", names).empty());
  EXPECT_TRUE(nearestNames("", {}).empty());
}

TEST_F(Drawing, HelpListsEveryActionAndTheControlsOfShownWindowsOnly) {
  Form hidden(app, u"FHidden");
  hidden.add(Kind::Button, u"BSecret");
  window.show();
  const std::string help = joined(helpLines(app, {actionUsages(), actionsOf}, {200, false}));
  for (const ActionUsage& usage : actionUsages()) {
    EXPECT_NE(help.find(std::string("  ") + usage.usage), std::string::npos) << usage.verb;
    EXPECT_NE(help.find(usage.example), std::string::npos) << usage.verb;
  }
  EXPECT_NE(help.find("FTest  \"Prüfung\""), std::string::npos) << help;
  EXPECT_NE(help.find("EPath (set), BGo (click)"), std::string::npos) << help;
  EXPECT_NE(help.find("RGWhere (select)"), std::string::npos) << help;
  EXPECT_EQ(help.find("BSecret"), std::string::npos) << help;
  EXPECT_EQ(help.find("LHidden"), std::string::npos) << help;
}

// A person at the terminal: windows are drawn when shown or changed, typing
// mistakes answer with the names meant, and a message box waits for an
// answer that it has.
TEST(TerminalSession, DrawsWindowsAndAnswersMistakesWithTheNearestNames) {
  std::istringstream typed(
      "help\nclick FTest.BGoo\nclick BGo\nclik FTest.BGo\ncheck FTets.CBLink\nclick FTest.BGo\nanswer Vielleicht\nanswer nein\n");
  std::ostringstream transcript;
  std::ostringstream display;
  Application app(std::make_unique<ScriptedBackend>(typed, transcript, true, &display, TerminalStyle{100, false}));
  DrawnWindow window(app);
  Button answer = Button::Yes;
  window.find(u"BGo")->onClick = [&](Object*) {
    answer = app.messageBox(MessageKind::Confirmation, u"Weiter?", {Button::Yes, Button::No});
  };
  app.run();
  const std::string shown = display.str();
  EXPECT_NE(shown.find("+- Prüfung ---"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Actions, one a line"), std::string::npos) << shown;
  EXPECT_NE(shown.find("the window FTest has no control BGoo; did you mean BGo"), std::string::npos) << shown;
  EXPECT_NE(shown.find("expected Form.Control, not \"BGo\"; did you mean FTest.BGo"), std::string::npos) << shown;
  EXPECT_NE(shown.find("unknown action \"clik\"; did you mean click"), std::string::npos) << shown;
  EXPECT_NE(shown.find("there is no window FTets; did you mean FTest"), std::string::npos) << shown;
  EXPECT_NE(shown.find("no such button; its buttons: &Ja, &Nein"), std::string::npos) << shown;
  EXPECT_EQ(answer, Button::No);
  // The transcript has what happened, the person's mistakes as error lines.
  const auto lines = linesOf(transcript.str());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("error "); }), 4);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "msgbox confirmation \"Bestätigen\" \"Weiter?\" \"&Ja\",\"&Nein\" -> \"&Nein\""),
            lines.end());
  EXPECT_EQ(lines.back(), "close FTest");
}

}  // namespace
}  // namespace orvel::gui
