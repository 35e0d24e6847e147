// The GUI model and the scripted GUI: script parsing, transcript quoting and
// lines, and how user actions and code reach the handlers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "common/error.h"
#include "gui/gui.h"
#include "gui/script/scripted_gui.h"

namespace orvel::gui {
namespace {

using Verb = ScriptAction::Verb;

std::vector<std::string> splitTranscript(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// --- parsing -------------------------------------------------------------------

struct ParseCase {
  const char* line;
  Verb verb;
  const char* form;
  const char* control;
  const char* text;
  int index;
};

TEST(ScriptParser, ReadsEveryAction) {
  const ParseCase cases[] = {
      {"set FSetup.EFolder C:\\Program Files\\X\\", Verb::Set, "FSetup", "EFolder", "C:\\Program Files\\X\\", 0},
      {"set FSetup.EFolder", Verb::Set, "FSetup", "EFolder", "", 0},  // empties the field
      {"set FSetup.EFolder ä \"q\"\r", Verb::Set, "FSetup", "EFolder", "ä \"q\"", 0},
      {"check FSetup.CBPortableApplication", Verb::Check, "FSetup", "CBPortableApplication", "", 0},
      {"  uncheck FSetup.CBStartmenu  ", Verb::Uncheck, "FSetup", "CBStartmenu", "", 0},
      {"select FSetup.RGRegOrIni 1", Verb::Select, "FSetup", "RGRegOrIni", "", 1},
      {"click FMemo.BClose", Verb::Click, "FMemo", "BClose", "", 0},
      {"close FMemo", Verb::Close, "FMemo", "", "", 0},
      {"dump FSetup", Verb::Dump, "FSetup", "", "", 0},
      {"answer &Ja", Verb::Answer, "", "", "&Ja", 0},
      {"folder D:\\My Tools", Verb::Folder, "", "", "D:\\My Tools", 0},
      {"file C:\\x\\english.ini", Verb::File, "", "", "C:\\x\\english.ini", 0},
      {"cancel", Verb::Cancel, "", "", "", 0},
      {"\xEF\xBB\xBF" "dump Fwait", Verb::Dump, "Fwait", "", "", 0},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.line);
    std::string error;
    auto action = parseScriptLine(c.line, error);
    ASSERT_TRUE(action) << error;
    EXPECT_EQ(action->verb, c.verb);
    EXPECT_EQ(toUtf8(action->form), c.form);
    EXPECT_EQ(toUtf8(action->control), c.control);
    EXPECT_EQ(toUtf8(action->text), c.text);
    EXPECT_EQ(action->index, c.index);
  }
}

TEST(ScriptParser, SkipsBlankAndCommentLinesWithoutError) {
  for (const char* line : {"", "   ", "\r", "# a comment", "  # indented"}) {
    std::string error = "x";
    EXPECT_FALSE(parseScriptLine(line, error)) << line;
    EXPECT_EQ(error, "") << line;
  }
}

TEST(ScriptParser, RejectsMalformedLinesWithAReason) {
  for (const char* line : {"frobnicate FSetup", "set", "set FSetup", "set .EFolder x", "set FSetup. x",
                           "click FSetup.BInstall now", "select FSetup.RGRegOrIni", "select FSetup.RGRegOrIni x",
                           "select FSetup.RGRegOrIni -1", "select FSetup.RGRegOrIni 1x", "close", "close FSetup.BClose",
                           "dump", "answer", "folder", "file  ", "cancel now", "Click FSetup.BClose"}) {
    std::string error;
    EXPECT_FALSE(parseScriptLine(line, error)) << line;
    EXPECT_NE(error, "") << line;
  }
}

TEST(TranscriptQuoting, EscapesQuotesBackslashesAndLineBreaks) {
  EXPECT_EQ(quoteForTranscript(u""), "\"\"");
  EXPECT_EQ(quoteForTranscript(u"C:\\Program Files\\"), "\"C:\\\\Program Files\\\\\"");
  EXPECT_EQ(quoteForTranscript(u"say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(quoteForTranscript(u"a\r\nb\tc"), "\"a\\r\\nb\\tc\"");
  EXPECT_EQ(quoteForTranscript(u"Bestätigen \U0001F600\\"), "\"Bestätigen \xF0\x9F\x98\x80\\\\\"");
}

// --- a window to drive ---------------------------------------------------------------

class TestWindow : public Form {
 public:
  TestWindow(Application& app, Str name) : Form(app, std::move(name)) {
    setCaption(u"Test \"window\"");
    setBorder(BorderStyle::Single);
    box = &add(Kind::CheckBox, u"Box");
    box->setCaption(u"Box");
    box->onClick = [this](Object* sender) {
      EXPECT_EQ(sender, box);
      ++boxClicks;
    };
    group = &add(Kind::RadioGroup, u"Group");
    group->setCaption(u"Choose");
    group->setItems({u"one", u"two"});
    group->setItemIndex(0);
    group->onClick = [this](Object*) { ++groupClicks; };
    button = &add(Kind::Button, u"Button");
    button->setCaption(u"&Go");
    button->setHint(u"Go on");
    button->onClick = [this](Object*) {
      ++buttonClicks;
      if (onButton) onButton();
    };
    edit = &add(Kind::Edit, u"Edit");
    edit->setText(u"C:\\x");
    memo = &add(Kind::Memo, u"Memo");
    memo->setLines({u"first", u""});
    panel = &add(Kind::Panel, u"Panel");
    inner = &add(Kind::Button, u"Inner", panel);
    dialog = &addComponent<OpenDialog>(u"Dialog");
    onPaint = [this](Object*) { ++paints; };
    created();
  }
  Component* box;
  Component* group;
  Component* button;
  Component* edit;
  Component* memo;
  Component* panel;
  Component* inner;
  OpenDialog* dialog;
  std::function<void()> onButton;
  int boxClicks = 0;
  int groupClicks = 0;
  int buttonClicks = 0;
  int paints = 0;
};

class ScriptedGui : public testing::Test {
 protected:
  ScriptedGui() {
    auto backend = std::make_unique<ScriptedBackend>(std::string(), transcript);
    script = backend.get();
    app = std::make_unique<Application>(std::move(backend));
    main = std::make_unique<TestWindow>(*app, u"Main");
    other = std::make_unique<TestWindow>(*app, u"Other");
  }
  std::vector<std::string> lines() const { return splitTranscript(transcript.str()); }
  // The transcript since the last call.
  std::vector<std::string> take() {
    auto result = lines();
    transcript.str("");
    return result;
  }

  std::ostringstream transcript;
  ScriptedBackend* script;
  std::unique_ptr<Application> app;
  std::unique_ptr<TestWindow> main;
  std::unique_ptr<TestWindow> other;
};

TEST_F(ScriptedGui, DumpShowsEachKindWithItsProperties) {
  script->perform("dump Main");
  const std::vector<std::string> expected = {
      "Main form caption=\"Test \\\"window\\\"\" visible=0",
      "Main.Box checkbox caption=\"Box\" hint=\"\" checked=0 enabled=1",
      "Main.Group radiogroup caption=\"Choose\" enabled=1 index=0 items=\"one\\ntwo\"",
      "Main.Button button caption=\"&Go\" hint=\"Go on\" enabled=1",
      "Main.Edit edit hint=\"\" text=\"C:\\\\x\" enabled=1",
      "Main.Memo memo enabled=1 lines=\"first\\n\"",
      "Main.Panel panel caption=\"\" enabled=1",
      "Main.Inner button caption=\"\" hint=\"\" enabled=1",
      "Main.Dialog other",
  };
  EXPECT_EQ(lines(), expected);
}

TEST_F(ScriptedGui, FirstFormIsTheMainFormAndShowingPaintsIt) {
  EXPECT_EQ(app->mainForm(), main.get());
  main->show();
  main->show();  // already shown: no second line
  EXPECT_EQ(take(), std::vector<std::string>{"show Main \"Test \\\"window\\\"\""});
  EXPECT_EQ(main->paints, 1);
  main->repaint();
  EXPECT_EQ(main->paints, 2);
  main->hide();
  EXPECT_EQ(take(), std::vector<std::string>{"hide Main"});
}

TEST_F(ScriptedGui, CheckClicksOnlyWhenTheStateChanges) {
  main->show();
  script->perform("check Main.Box");
  script->perform("check Main.Box");
  EXPECT_TRUE(main->box->checked());
  EXPECT_EQ(main->boxClicks, 1);
  script->perform("uncheck Main.Box");
  script->perform("uncheck Main.Box");
  EXPECT_FALSE(main->box->checked());
  EXPECT_EQ(main->boxClicks, 2);
  script->perform("click Main.Box");  // a click toggles
  EXPECT_TRUE(main->box->checked());
  EXPECT_EQ(main->boxClicks, 3);
}

TEST_F(ScriptedGui, CodeThatChangesACheckBoxOrRadioGroupRunsItsHandlerOnChangeOnly) {
  main->box->setChecked(false);
  main->group->setItemIndex(0);
  EXPECT_EQ(main->boxClicks, 0);
  EXPECT_EQ(main->groupClicks, 0);
  main->box->setChecked(true);
  main->group->setItemIndex(1);
  EXPECT_EQ(main->boxClicks, 1);
  EXPECT_EQ(main->groupClicks, 1);
  // Items that shrink keep the selection on the last item, without a click.
  main->group->setItems({u"only"});
  EXPECT_EQ(main->group->itemIndex(), 0);
  EXPECT_EQ(main->groupClicks, 1);
}

TEST_F(ScriptedGui, SelectAndSetActAsAUser) {
  main->show();
  script->perform("select Main.Group 1");
  script->perform("select Main.Group 1");
  EXPECT_EQ(main->group->itemIndex(), 1);
  EXPECT_EQ(main->groupClicks, 1);
  script->perform("set Main.Edit D:\\Neu Ordner\\");
  EXPECT_EQ(main->edit->text(), u"D:\\Neu Ordner\\");
  script->perform("set Main.Memo typed");
  EXPECT_EQ(main->memo->lines(), std::vector<Str>{u"typed"});
  EXPECT_EQ(take(), std::vector<std::string>{"show Main \"Test \\\"window\\\"\""});
}

TEST_F(ScriptedGui, WhatAUserCannotReachIsIgnoredAndSaidSo) {
  script->perform("click Main.Button");  // the window is not shown
  main->show();
  take();
  main->button->setEnabled(false);
  script->perform("click Main.Button");
  main->panel->setEnabled(false);
  script->perform("click Main.Inner");  // on a disabled panel
  main->edit->setReadOnly(true);
  script->perform("set Main.Edit x");
  EXPECT_EQ(main->buttonClicks, 0);
  EXPECT_EQ(main->edit->text(), u"C:\\x");
  const auto out = take();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], "ignored \"click Main.Button: Button is disabled\"");
  EXPECT_EQ(out[1], "ignored \"click Main.Inner: Panel is disabled\"");
  EXPECT_EQ(out[2], "ignored \"set Main.Edit x: Edit is read-only\"");
}

TEST_F(ScriptedGui, UnknownNamesWrongKindsAndMalformedLinesAreReportedAndTheRunGoesOn) {
  main->show();
  take();
  for (const char* line : {"click Nowhere.Button", "click Main.Nothing", "set Main.Button x", "check Main.Edit",
                           "select Main.Group 2", "select Main.Edit 0", "click Main.Dialog", "dump Nowhere",
                           "bogus", "answer OK", "cancel"}) {
    script->perform(line);
  }
  script->perform("click Main.Button");
  const auto out = take();
  ASSERT_EQ(out.size(), 11u);
  for (const auto& line : out) EXPECT_EQ(line.rfind("error \"", 0), 0u) << line;
  EXPECT_EQ(out[0], "error \"click Nowhere.Button: there is no window Nowhere\"");
  EXPECT_EQ(main->buttonClicks, 1);
}

TEST_F(ScriptedGui, MessageBoxTakesTheNextLineWhenItIsAnAnswer) {
  Button answer{};
  main->onButton = [&] {
    answer = app->messageBox(MessageKind::Confirmation, u"Keine Administorrechte. Fortsetzen?",
                             {Button::Yes, Button::No});
  };
  main->show();
  take();
  script->addActions("answer &Nein\n");
  script->perform("click Main.Button");
  EXPECT_EQ(answer, Button::No);
  script->addActions("# a comment before the answer\nanswer ja\n");  // without & and in any case
  script->perform("click Main.Button");
  EXPECT_EQ(answer, Button::Yes);
  EXPECT_EQ(take(), (std::vector<std::string>{
                        "msgbox confirmation \"Bestätigen\" \"Keine Administorrechte. Fortsetzen?\" "
                        "\"&Ja\",\"&Nein\" -> \"&Nein\"",
                        "msgbox confirmation \"Bestätigen\" \"Keine Administorrechte. Fortsetzen?\" "
                        "\"&Ja\",\"&Nein\" -> \"&Ja\"",
                    }));
}

TEST_F(ScriptedGui, MessageBoxWithoutAnAnswerLineTakesItsFirstButton) {
  Button answer = Button::Cancel;
  main->onButton = [&] { answer = app->messageBox(MessageKind::Warning, u"Achtung", {Button::No, Button::Yes}); };
  main->show();
  take();
  script->addActions("dump Other\n");
  script->perform("click Main.Button");
  EXPECT_EQ(answer, Button::No);
  const auto out = take();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], "msgbox warning \"Warnung\" \"Achtung\" \"&Nein\",\"&Ja\" -> \"&Nein\" (default)");
  // The next action was left for the loop.
  app->run();
  EXPECT_EQ(lines().at(0), "Other form caption=\"Test \\\"window\\\"\" visible=0");
}

TEST_F(ScriptedGui, AnswersThatDoNotFitTheBoxAreReportedAndTheDefaultHolds) {
  std::vector<Button> answers;
  main->onButton = [&] {
    answers.push_back(app->messageBox(MessageKind::Error, u"x", {Button::Yes, Button::No}));
  };
  main->show();
  take();
  script->addActions("answer Vielleicht\n");
  script->perform("click Main.Button");
  script->addActions("cancel\n");  // a Ja/Nein box has no cancel
  script->perform("click Main.Button");
  script->addActions("folder C:\\\n");
  script->perform("click Main.Button");
  EXPECT_EQ(answers, (std::vector<Button>{Button::Yes, Button::Yes, Button::Yes}));
  const auto out = take();
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[0], "error \"answer Vielleicht: the message box has no such button\"");
  EXPECT_EQ(out[1], "msgbox error \"Fehler\" \"x\" \"&Ja\",\"&Nein\" -> \"&Ja\" (default)");
  EXPECT_EQ(out[2].rfind("error \"cancel:", 0), 0u);
  EXPECT_EQ(out[4].rfind("error \"folder C:\\\\:", 0), 0u);
}

TEST_F(ScriptedGui, PlainAndInformationBoxes) {
  script->addActions("cancel\nanswer OK\n");
  app->showMessage(u"Fertig");  // cancel closes a box that has only OK
  EXPECT_EQ(app->messageBox(MessageKind::Information, u"Info", {Button::Ok, Button::Cancel}), Button::Ok);
  EXPECT_EQ(app->messageBox(MessageKind::Information, u"Info", {Button::Ok, Button::Cancel}), Button::Ok);
  EXPECT_EQ(take(), (std::vector<std::string>{
                        "msgbox plain \"Setup\" \"Fertig\" \"OK\" -> \"OK\"",
                        "msgbox information \"Informationen\" \"Info\" \"OK\",\"Abbrechen\" -> \"OK\"",
                        "msgbox information \"Informationen\" \"Info\" \"OK\",\"Abbrechen\" -> \"OK\" (default)",
                    }));
}

TEST_F(ScriptedGui, FolderAndFileDialogs) {
  script->addActions("folder D:\\Tools\ncancel\nfile C:\\l\\english.ini\nfolder C:\\\n");
  EXPECT_EQ(app->chooseFolder(u"C:\\Program Files\\OrvelDraw\\"), Str(u"D:\\Tools"));
  EXPECT_EQ(app->chooseFolder(u"C:\\"), std::nullopt);
  EXPECT_EQ(app->chooseFile(u"C:\\l", u"*.ini", u"*.ini|*.ini;*.*|*.*"), Str(u"C:\\l\\english.ini"));
  EXPECT_EQ(app->chooseFile(u"C:\\l", u"*.ini", u"*.ini"), std::nullopt);  // a folder is no file
  EXPECT_EQ(app->chooseFolder(u"C:\\"), std::nullopt);                    // nothing left: cancel
  main->dialog->initialDir = u"C:\\l";
  main->dialog->fileName = u"*.ini";
  EXPECT_FALSE(main->dialog->execute());
  EXPECT_EQ(main->dialog->fileName, u"*.ini");
  EXPECT_EQ(take(), (std::vector<std::string>{
                        "folderdialog \"C:\\\\Program Files\\\\OrvelDraw\\\\\" -> \"D:\\\\Tools\"",
                        "folderdialog \"C:\\\\\" -> cancel",
                        "filedialog \"C:\\\\l\" \"*.ini\" \"*.ini|*.ini;*.*|*.*\" -> \"C:\\\\l\\\\english.ini\"",
                        "error \"folder C:\\\\: a file dialog is open\"",
                        "filedialog \"C:\\\\l\" \"*.ini\" \"*.ini\" -> cancel (default)",
                        "folderdialog \"C:\\\\\" -> cancel (default)",
                        "filedialog \"C:\\\\l\" \"*.ini\" \"\" -> cancel (default)",
                    }));
}

// What a dialog gives for what was typed into it, as Windows' dialogs give it.
TEST(DialogPath, ANameOrRelativePathIsTakenInTheDialogsFolder) {
  const struct {
    const char16_t* folder;
    const char16_t* typed;
    std::optional<Str> path;
  } cases[] = {
      {u"D:\\languages", u"dutch.ini", Str(u"D:\\languages\\dutch.ini")},
      {u"D:\\languages\\", u"sub\\x.ini", Str(u"D:\\languages\\sub\\x.ini")},
      {u"D:\\languages", u"..\\.\\x.ini", Str(u"D:\\x.ini")},
      {u"D:\\languages", u"..\\..\\..\\x.ini", Str(u"D:\\x.ini")},  // not above the root
      {u"D:\\languages", u"\\x\\y.ini", Str(u"D:\\x\\y.ini")},     // on the folder's drive
      {u"\\\\srv\\share\\dist", u"\\x", Str(u"\\\\srv\\share\\x")},
      {u"\\\\srv\\share\\dist", u"..\\..\\..", Str(u"\\\\srv\\share")},
      {u"D:\\languages", u"C:\\x\\..\\y\\", Str(u"C:\\y\\")},  // a full path, its trailing backslash kept
      {u"D:\\languages", u"c:/x//y", Str(u"c:\\x\\y")},
      {u"D:\\languages", u"E:\\", Str(u"E:\\")},
      {u"D:\\languages", u"d:x.ini", Str(u"D:\\languages\\x.ini")},  // the current folder of its drive
      {u"D:\\languages", u"E:x.ini", Str(u"E:\\x.ini")},
      {u"", u"dutch.ini", std::nullopt},  // a dialog without a folder takes full paths only
      {u"   ", u"dutch.ini", std::nullopt},
      {u"", u"\\\\srv\\share\\a.ini", Str(u"\\\\srv\\share\\a.ini")},
      {u"D:\\languages", u"\\\\srv", std::nullopt},  // a server without its share
      {u"D:\\languages", u"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(dialogPath(c.folder, c.typed), c.path) << toUtf8(c.folder) << " + " << toUtf8(c.typed);
}

TEST_F(ScriptedGui, ADialogAnswerIsTheFullPathOfWhatWasTyped) {
  script->addActions("file dutch.ini\nfolder ..\\Tools\\\nfile x.ini\n");
  EXPECT_EQ(app->chooseFile(u"D:\\languages", u"*.ini", u"*.ini"), Str(u"D:\\languages\\dutch.ini"));
  EXPECT_EQ(app->chooseFolder(u"C:\\Program Files\\OrvelDraw\\"), Str(u"C:\\Program Files\\Tools\\"));
  // A script's name that no dialog folder places is taken as it stands.
  EXPECT_EQ(app->chooseFile(u"", u"*.ini", u"*.ini"), Str(u"x.ini"));
  EXPECT_EQ(take(), (std::vector<std::string>{
                        "filedialog \"D:\\\\languages\" \"*.ini\" \"*.ini\" -> \"D:\\\\languages\\\\dutch.ini\"",
                        "folderdialog \"C:\\\\Program Files\\\\OrvelDraw\\\\\" -> \"C:\\\\Program Files\\\\Tools\\\\\"",
                        "filedialog \"\" \"*.ini\" \"*.ini\" -> \"x.ini\"",
                    }));
}

TEST_F(ScriptedGui, AnErrorThatEscapesAHandlerIsShownAndTheRunGoesOn) {
  int thrown = 0;
  main->onButton = [&] {
    ++thrown;
    if (thrown == 1) throw Error(u"Fehler beim Holen der Daten für Update");
    if (thrown == 2) throw Error(u"Abbruch!");
    throw std::runtime_error("Zugriff verweigert)");
  };
  main->show();
  take();
  script->perform("click Main.Button");
  script->perform("click Main.Button");
  script->perform("click Main.Button");
  EXPECT_EQ(take(), (std::vector<std::string>{
                        "msgbox error \"Setup\" \"Fehler beim Holen der Daten für Update.\" \"OK\" -> \"OK\" (default)",
                        "msgbox error \"Setup\" \"Abbruch!\" \"OK\" -> \"OK\" (default)",
                        "msgbox error \"Setup\" \"Zugriff verweigert)\" \"OK\" -> \"OK\" (default)",
                    }));
}

TEST_F(ScriptedGui, ClosingTheMainFormEndsTheApplicationEvenWhenNeverShown) {
  other->show();
  main->close();
  EXPECT_TRUE(app->terminated());
  EXPECT_EQ(lines().back(), "close Main");
}

TEST_F(ScriptedGui, ClosingAnotherFormThroughTheCaptionBarHidesIt) {
  other->show();
  take();
  script->perform("close Other");
  EXPECT_FALSE(other->visible());
  EXPECT_FALSE(app->terminated());
  script->perform("close Other");  // not shown any more
  other->setBorder(BorderStyle::Sizeable, {false, false, false});
  other->show();
  script->perform("close Other");  // no close button
  EXPECT_TRUE(other->visible());
  EXPECT_EQ(take(), (std::vector<std::string>{
                        "close Other",
                        "hide Other",
                        "ignored \"close Other: the window is not shown\"",
                        "show Other \"Test \\\"window\\\"\"",
                        "ignored \"close Other: the window has no close button\"",
                    }));
}

TEST_F(ScriptedGui, TheLoopRunsTheScriptAndEndsAsIfTheMainWindowClosedWhenItRunsOut) {
  script->addActions("click Main.Button\n\nclick Main.Button\n");
  app->run();
  EXPECT_TRUE(app->terminated());
  EXPECT_EQ(main->buttonClicks, 2);
  EXPECT_EQ(lines(), (std::vector<std::string>{"show Main \"Test \\\"window\\\"\"", "close Main"}));
}

TEST_F(ScriptedGui, TheLoopStopsAtTheActionThatClosesTheHiddenMainWindow) {
  other->onButton = [&] { main->close(); };
  script->addActions("click Other.Button\nclick Other.Button\n");
  app->setShowMainForm(false);
  other->show();
  take();
  app->run();
  EXPECT_EQ(other->buttonClicks, 1);
  EXPECT_TRUE(app->terminated());
  EXPECT_FALSE(main->visible());
  EXPECT_EQ(lines(), std::vector<std::string>{"close Main"});
}

TEST_F(ScriptedGui, CursorLinesOnlyWhenTheCursorChanges) {
  app->setCursor(Cursor::Hourglass);
  app->setCursor(Cursor::Hourglass);
  app->setCursor(Cursor::Default);
  EXPECT_EQ(lines(), (std::vector<std::string>{"cursor hourglass", "cursor default"}));
}

// A person at a terminal: each shown window is drawn when it appears or
// changes, and a message box waits for an answer line.
TEST(InteractiveScript, DrawsChangedWindowsAndWaitsForAnswers) {
  std::istringstream typed("check Main.Box\nclick Main.Button\ndump Main\nanswer &Nein\n");
  std::ostringstream transcript;
  std::ostringstream display;
  Application app(std::make_unique<ScriptedBackend>(typed, transcript, true, &display));
  TestWindow main(app, u"Main");
  TestWindow hidden(app, u"Hidden");
  Button answer = Button::Yes;
  main.onButton = [&] { answer = app.messageBox(MessageKind::Confirmation, u"Weiter?", {Button::Yes, Button::No}); };
  app.run();
  EXPECT_EQ(answer, Button::No);
  EXPECT_EQ(main.boxClicks, 1);
  const std::string shown = display.str();
  const auto countOf = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = shown.find(text); at != std::string::npos; at = shown.find(text, at + 1)) ++n;
    return n;
  };
  // Drawn after the show and after the check; not after the click, which changed nothing.
  EXPECT_EQ(countOf("Box: [ ] Box"), 1u) << shown;
  EXPECT_EQ(countOf("Box: [x] Box"), 1u) << shown;
  EXPECT_EQ(countOf("+- Test \"window\" -"), 2u) << shown;  // the hidden window is not drawn
  EXPECT_EQ(countOf("+- Bestätigen -"), 1u) << shown;
  EXPECT_EQ(countOf("(a dialog is open"), 1u) << shown;  // the dump line was not an answer
  const auto lines = splitTranscript(transcript.str());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "msgbox confirmation \"Bestätigen\" \"Weiter?\" \"&Ja\",\"&Nein\" -> \"&Nein\""),
            lines.end());
  EXPECT_EQ(lines.back(), "close Main");
}

// At a terminal the transcript is not shown: a dump shows on the terminal,
// each memo line and item on a line of its own; a dialog refuses what it
// cannot take, and the person answers again.
TEST(InteractiveScript, DumpShowsOnTheTerminalAndDialogsRefuseWhatTheyCannotTake) {
  std::istringstream typed("dump Main\nclick Main.Button\nfile *.ini\nfile \\\\srv\nfile x.ini\ncancel\n"
                           "click Main.Button\nfile ..\\dutch.ini\n");
  std::ostringstream transcript;
  std::ostringstream display;
  Application app(std::make_unique<ScriptedBackend>(typed, transcript, true, &display, TerminalStyle{60, false}));
  TestWindow main(app, u"Main");
  main.memo->setLines({u"Orvel-Draw Installation", u"", u"a line that is longer than the terminal that shows it is wide"});
  std::vector<std::optional<Str>> chosen;
  Str folder = u"";
  main.onButton = [&] {
    chosen.push_back(app.chooseFile(folder, u"*.ini", u"*.ini"));
    folder = u"D:\\languages";
  };
  app.run();
  const std::string shown = display.str();
  const auto lines = splitTranscript(shown);
  const auto has = [&](const std::string& text) { return shown.find(text) != std::string::npos; };
  EXPECT_TRUE(has("Main form caption=\"Test \\\"window\\\"\" visible=1\n")) << shown;
  EXPECT_TRUE(has("\nMain.Memo memo enabled=1 lines:\n    Orvel-Draw Installation\n\n    a line that is longer than the "
                  "terminal that shows it is\n      wide\n"))
      << shown;
  EXPECT_TRUE(has("\n    0 one\n    1 two\n")) << shown;
  for (const std::string& line : lines) EXPECT_LE(line.size(), 60u) << line;
  EXPECT_NE(shown.find("file *.ini: a pattern only filters"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\\\\srv: a network path names its share"), std::string::npos) << shown;
  EXPECT_NE(shown.find("file x.ini: the dialog shows no folder to find x.ini in"), std::string::npos) << shown;
  EXPECT_EQ(chosen, (std::vector<std::optional<Str>>{std::nullopt, Str(u"D:\\dutch.ini")}));
  // The transcript still gets the dump as a script run writes it.
  const auto written = splitTranscript(transcript.str());
  EXPECT_NE(std::find(written.begin(), written.end(),
                      "Main.Memo memo enabled=1 lines=\"Orvel-Draw Installation\\n\\na line that is longer than the "
                      "terminal that shows it is wide\""),
            written.end());
}

TEST(MemoText, LinesAndTextAgree) {
  std::ostringstream transcript;
  Application app(std::make_unique<ScriptedBackend>(std::string(), transcript));
  Form form(app, u"F");
  Component& memo = form.add(Kind::Memo, u"M");
  memo.setText(u"a\r\nb\nc\r");
  EXPECT_EQ(memo.lines(), (std::vector<Str>{u"a", u"b", u"c", u""}));
  memo.setLines({u"Orvel-Draw Installation", u""});
  EXPECT_EQ(memo.text(), u"Orvel-Draw Installation\r\n");
  memo.setText(memo.text());
  EXPECT_EQ(memo.lines().size(), 2u);
  memo.setText(u"");
  EXPECT_TRUE(memo.lines().empty());
}

// A backend adds only the new lines while the revision stays: every other
// change of the lines, and none that leaves them as they are, moves it on.
TEST(MemoText, OnlyAnAddedLineKeepsTheRevision) {
  std::ostringstream transcript;
  Application app(std::make_unique<ScriptedBackend>(std::string(), transcript));
  Form form(app, u"F");
  Component& memo = form.add(Kind::Memo, u"M");
  memo.setLines({u"a", u"b"});
  uint64_t revision = memo.linesRevision();
  memo.addLine(u"c");
  EXPECT_EQ(memo.linesRevision(), revision);
  memo.setLines({u"a", u"b", u"c"});
  memo.setText(u"a\r\nb\r\nc");
  EXPECT_EQ(memo.linesRevision(), revision) << "no change";
  const std::vector<std::function<void()>> changes = {
      [&] { memo.setLines({u"a", u"b", u"c", u"d"}); },  // longer, but set as a whole
      [&] { memo.setText(u"x\r\nb"); },
      [&] { memo.userSetText(u"x\r\nby the user"); },
      [&] { memo.clearLines(); },
  };
  for (const auto& change : changes) {
    change();
    EXPECT_NE(memo.linesRevision(), revision);
    revision = memo.linesRevision();
  }
}

}  // namespace
}  // namespace orvel::gui
