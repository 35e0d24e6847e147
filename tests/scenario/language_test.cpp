// Language files as a user meets them: the file for their language loaded on
// the first paint, a file chosen through the Language button, what a file
// sets in both windows and the message fields and what it leaves, the
// encodings a file may come in, and an installation that carries the chosen
// file into the installed application's configuration.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/fmx_utils.h"
#include "common/language_file.h"
#include "platform/files.h"
#include "gui/script/scripted_gui.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "tests/support/installer_fixture.h"
#include "tests/support/language_files.h"
#include "tests/support/language_keys.h"

namespace orvel {
namespace {

using test::LanguagesBesideProgram;
using test::ScriptedWindows;
using test::TestMachine;
using Lines = std::vector<std::string>;

std::string q(const Str& text) { return gui::quoteForTranscript(text); }

// UTF-16 little endian with its byte-order mark.
std::string utf16le(const Str& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// The message fields by key.
const std::vector<std::pair<std::string, Str MessageTexts::*>> kMessageFields = [] {
  std::vector<std::pair<std::string, Str MessageTexts::*>> fields;
  for (const test::MessageKey& m : test::kMessageKeys) fields.emplace_back(toUtf8(m.key), m.field);
  return fields;
}();

std::map<std::string, Str> messages() {
  std::map<std::string, Str> m;
  for (const auto& [key, field] : kMessageFields) m[key] = FSetup->*field;
  return m;
}

// Every message "<key> in English"; LNGCopyFromTo keeps its two placeholders.
std::string englishMessageLines() {
  std::string text;
  for (const auto& [key, field] : kMessageFields) text += key + "=" + key + " in English\r\n";
  return text;
}

// A complete English file: every key both windows offer, every message, and
// keys for the memo and the dialog, which take no texts.
std::string completeEnglishFile() {
  return "[Installation]\r\n"
         "Caption=Setup for Orvel-Draw\r\n"
         "LFolder=Installation folder\r\n"
         "LHint1=Folder for user settings\r\n"
         "LHint2=%Username% may be part of the path\r\n"
         "SBOrdner=Choose the installation folder\r\n"
         "SBUserIni=Choose the settings folder\r\n"
         "RGRegOrIni=\" Settings \"\r\n"
         "RGRegOrIni.Items=\"in the registry\",\"in INI files\"\r\n"
         "EFolder.Hint=Where Orvel-Draw goes\r\n"
         "EUserfolder.Hint=Where the settings go\r\n"
         "BInstall=Install\r\n"
         "BInstall.Hint=Install now\r\n"
         "BDeinstall=Uninstall\r\n"
         "BDeinstall.Hint=Remove it\r\n"
         "BLanguage=Language!\r\n"
         "BLanguage.Hint=Another language\r\n"
         "CBDesktopSymbol=Desktop icon\r\n"
         "CBDesktopSymbol.Hint=A shortcut on the desktop\r\n"
         "CBStartmenu=Start menu entry\r\n"
         "CBStartmenu.Hint=A shortcut in the Start menu\r\n"
         "CBPortableApplication=Portable / USB stick\r\n"
         "CBPortableApplication.Hint=Everything in the installation folder\r\n"
         "MInstallation=not for the memo\r\n"
         "ODWaehlen=not for the dialog\r\n" +
         englishMessageLines() +
         "\r\n[Common]\r\n"
         "BClose=Close\r\n"
         "BClose.Hint=Close the program\r\n";
}

Str editText(const char* name) { return FSetup->find(fromUtf8(name))->text(); }

Lines englishSetupDump() {
  return {
      "FSetup form caption=\"Setup for Orvel-Draw\" visible=1",
      "FSetup.LFolder label caption=\"Installation folder\" enabled=1",
      "FSetup.EFolder edit hint=\"Where Orvel-Draw goes\" text=" + q(editText("EFolder")) + " enabled=1",
      "FSetup.SBOrdner speedbutton hint=\"Choose the installation folder\" enabled=1",
      "FSetup.BInstall button caption=\"Install\" hint=\"Install now\" enabled=1",
      "FSetup.RGRegOrIni radiogroup caption=\" Settings \" enabled=1 index=0 items=\"in the registry\\nin INI files\"",
      "FSetup.BDeinstall button caption=\"Uninstall\" hint=\"Remove it\" enabled=1",
      "FSetup.CBStartmenu checkbox caption=\"Start menu entry\" hint=\"A shortcut in the Start menu\" checked=1 "
      "enabled=1",
      "FSetup.CBDesktopSymbol checkbox caption=\"Desktop icon\" hint=\"A shortcut on the desktop\" checked=1 enabled=1",
      "FSetup.BLanguage button caption=\"Language!\" hint=\"Another language\" enabled=1",
      "FSetup.CBPortableApplication checkbox caption=\"Portable / USB stick\" "
      "hint=\"Everything in the installation folder\" checked=0 enabled=1",
      "FSetup.LHint1 label caption=\"Folder for user settings\" enabled=1",
      "FSetup.BClose button caption=\"Close\" hint=\"Close the program\" enabled=1",
      "FSetup.LHint2 label caption=\"%Username% may be part of the path\" enabled=1",
      "FSetup.EUserfolder edit hint=\"Where the settings go\" text=" + q(editText("EUserfolder")) + " enabled=0",
      "FSetup.SBUserIni speedbutton hint=\"Choose the settings folder\" enabled=0",
      "FSetup.ODWaehlen other",
  };
}

const Lines kEnglishMemoDump = {
    "FMemo form caption=\"Setup for Orvel-Draw\" visible=0",
    "FMemo.MInstallation memo enabled=1 lines=\"Orvel-Draw Installation\\n\"",
    "FMemo.BClose button caption=\"Close\" hint=\"Close the program\" enabled=1",
};

Lines dump(ScriptedWindows& w, const std::string& form) {
  w.take();
  w.act("dump " + form);
  return w.take();
}

// The German texts of both windows and all messages, as a fresh program has
// them. It makes windows of its own, so no other windows may exist meanwhile.
struct GermanTexts {
  Lines setup;
  Lines memo;
  std::map<std::string, Str> messages;
};

GermanTexts germanTexts() {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  return {dump(w, "FSetup"), dump(w, "FMemo"), messages()};
}

// The file of a non-German user's language beside the program. Natively the
// emulated user speaks British English; under Wine the prefix's user language
// counts, and a German prefix has no such file.
class FirstPaint : public testing::Test {
 protected:
  FirstPaint() : machine_(test::MachineIni{{"Machine.LangId", "0x0809"}}) {}
  void SetUp() override {
    if ((sys::userDefaultLangId() & 0xFF) == 0x07) GTEST_SKIP() << "the user's language is German";
    if (TestMachine::emulated()) {
      EXPECT_EQ(DefaultLanguageFile(), ProgramFolder() + u"languages\\english.ini");
    }
  }
  Str defaultFileName() const {
    const Str path = DefaultLanguageFile();
    return path.substr(path.rfind(u'\\') + 1);
  }
  TestMachine machine_;
};

// A user whose language is English sees both windows and every message in
// English from the first paint on, and the file in use is the one beside the program.
TEST_F(FirstPaint, UserWithTheirLanguageFileSeesBothWindowsTranslated) {
  LanguagesBesideProgram languages;
  const Str file = languages.put(defaultFileName(), completeEnglishFile());
  ScriptedWindows w;
  EXPECT_TRUE(FSetup->Starting);
  FSetup->show();
  EXPECT_EQ(w.take(), (Lines{"show FSetup \"Setup für Orvel-Draw\"", "cursor hourglass", "cursor default"}));
  EXPECT_FALSE(FSetup->Starting);
  EXPECT_EQ(FSetup->Sprachdatei, file);
  EXPECT_EQ(dump(w, "FSetup"), englishSetupDump());
  EXPECT_EQ(dump(w, "FMemo"), kEnglishMemoDump);
  for (const auto& [key, field] : kMessageFields) EXPECT_EQ(FSetup->*field, fromUtf8(key) + u" in English") << key;
}

// Without the file (other files beside it do not count) the German texts stay
// and no file is in use.
TEST_F(FirstPaint, UserWithoutTheirLanguageFileKeepsTheGermanTexts) {
  const GermanTexts german = germanTexts();
  LanguagesBesideProgram languages;
  languages.put(u"klingon.ini", completeEnglishFile());
  ScriptedWindows w;
  FSetup->show();
  EXPECT_EQ(w.take(), Lines{"show FSetup \"Setup für Orvel-Draw\""});  // no hourglass: nothing read
  EXPECT_EQ(FSetup->Sprachdatei, u"");
  EXPECT_FALSE(FSetup->Starting);
  EXPECT_EQ(dump(w, "FSetup"), german.setup);
  EXPECT_EQ(dump(w, "FMemo"), german.memo);
  EXPECT_EQ(messages(), german.messages);
}

// Later paints read nothing: a file that appears after the first paint is not loaded.
TEST_F(FirstPaint, OnlyTheFirstPaintLoads) {
  LanguagesBesideProgram languages;
  ScriptedWindows w;
  FSetup->show();
  languages.put(defaultFileName(), completeEnglishFile());
  FSetup->repaint();
  FSetup->FormPaint(FSetup);
  EXPECT_EQ(FSetup->Sprachdatei, u"");
  EXPECT_EQ(FSetup->caption(), u"Setup für Orvel-Draw");
  EXPECT_EQ(FSetup->LNGCopyFromTo, u"Kopiere %s nach %s");
}

// In update and registry mode the setup window is never shown, so its
// messages stay German whatever language file lies beside the program.
TEST_F(FirstPaint, WithoutShowingTheSetupWindowTheMessagesStayGerman) {
  LanguagesBesideProgram languages;
  languages.put(defaultFileName(), completeEnglishFile());
  ScriptedWindows w;
  w.app().setShowMainForm(false);
  w.app().processMessages();
  EXPECT_TRUE(FSetup->Starting);
  EXPECT_EQ(FSetup->Sprachdatei, u"");
  EXPECT_EQ(FSetup->LNGCopyFromTo, u"Kopiere %s nach %s");
  EXPECT_EQ(FSetup->LNGCanNotDelete, u"\"%s\" kann nicht gelöscht werden.");
  EXPECT_EQ(FMemo->caption(), u"Installation");
}

// German users get the languages folder itself as their file, which is no
// file: nothing is read, even with files for every language in the folder.
TEST(Language, EmulatedOnly_GermanUserKeepsTheBuiltInTexts) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "the user's language is the prefix's";
  const GermanTexts german = germanTexts();
  TestMachine machine(test::MachineIni{{"Machine.LangId", "0x0407"}});
  LanguagesBesideProgram languages;
  for (const char16_t* name : {u"english.ini", u"espanol.ini", u"dutch.ini", u"deutsch.ini", u"german.ini"})
    languages.put(name, completeEnglishFile());
  EXPECT_EQ(DefaultLanguageFile(), ProgramFolder() + u"languages\\");
  ScriptedWindows w;
  FSetup->show();
  EXPECT_EQ(w.take(), Lines{"show FSetup \"Setup für Orvel-Draw\""});
  EXPECT_EQ(FSetup->Sprachdatei, u"");
  EXPECT_EQ(dump(w, "FSetup"), german.setup);
  EXPECT_EQ(dump(w, "FMemo"), german.memo);
  EXPECT_EQ(messages(), german.messages);
}

// A case that chooses its language file through the Language button.
class ChosenFile : public testing::Test {
 protected:
  ChosenFile() { FSetup->show(); }

  // Writes the file into the case's folder and chooses it in the dialog.
  Str choose(const std::string& bytes, const Str& name = u"chosen.ini") {
    const Str path = machine_.scratch() + name;
    test::writeTestFile(path, bytes);
    chooseAnswer("file " + toUtf8(path));
    return path;
  }
  // Clicks the Language button and answers the dialog; the transcript after it.
  Lines chooseAnswer(const std::string& answer) {
    w_.take();
    w_.addActions(answer + "\n");
    w_.act("click FSetup.BLanguage");
    return w_.take();
  }
  std::string line(const char* form, const char* control) { return w_.dumped(form, control); }

  TestMachine machine_;
  const GermanTexts german_ = germanTexts();
  ScriptedWindows w_;
};

// The dialog opens in the languages folder beside the program with the name
// "*.ini" and a filter that lists every file; the chosen file is read under
// the hourglass and becomes the file in use.
TEST_F(ChosenFile, DialogOffersTheLanguagesFolderAndLoadsTheChoice) {
  const Str path = machine_.scratch() + u"Sprachen\\mine.ini";
  test::writeTestFile(path, "[Installation]\r\nBInstall=Los\r\n");
  const std::string dialog = "filedialog " + q(ProgramFolder() + u"languages") + " \"*.ini\" \"*.ini|*.ini;*.*|*.*\"";
  EXPECT_EQ(chooseAnswer("file " + toUtf8(path)),
            (Lines{dialog + " -> " + q(path), "cursor hourglass", "cursor default"}));
  EXPECT_EQ(FSetup->Sprachdatei, path);
  EXPECT_EQ(FSetup->BInstall->caption(), u"Los");
}

// Cancelling the dialog keeps the texts and the file in use.
TEST_F(ChosenFile, CancelledDialogChangesNothing) {
  choose("[Installation]\r\nBInstall=Install\r\nLNGDelete=Delete\r\n");
  const Str inUse = FSetup->Sprachdatei;
  const Lines before = dump(w_, "FSetup");
  EXPECT_EQ(chooseAnswer("cancel").size(), 1u);
  EXPECT_EQ(FSetup->Sprachdatei, inUse);
  EXPECT_EQ(dump(w_, "FSetup"), before);
  EXPECT_EQ(FSetup->LNGDelete, u"Delete");
}

// A chosen name that is no file (or a folder) is kept as the file in use, but
// nothing is read and no text changes.
TEST_F(ChosenFile, NameOfNoFileIsKeptButReadsNothing) {
  for (const Str& path : {machine_.scratch() + u"missing.ini", machine_.scratch()}) {
    SCOPED_TRACE(toUtf8(path));
    EXPECT_EQ(chooseAnswer("file " + toUtf8(path)).size(), 1u);  // the dialog only, no hourglass
    EXPECT_EQ(FSetup->Sprachdatei, path);
    EXPECT_EQ(messages(), german_.messages);
  }
}

// A key in both sections takes the value of "Installation", wherever the
// sections stand in the file; letter case of keys and sections does not matter;
// blanks around values and one pair of enclosing quotes go.
TEST_F(ChosenFile, InstallationWinsAndKeysIgnoreLetterCase) {
  choose(
      "[common]\r\n"
      "BInstall=from Common\r\n"
      "BDeinstall=only in Common\r\n"
      "[Other]\r\n"
      "BLanguage=from another section\r\n"
      "[INSTALLATION]\r\n"
      "binstall=from Installation\r\n"
      "BINSTALL.HINT =   hint with blanks around   \r\n"
      "lfolder=\"  quoted with blanks  \"\r\n"
      "LHint1='single quotes'\r\n"
      "LHint2=\"unbalanced\r\n"
      "lngdelete=Delete\r\n"
      "LNGDELETE=second of the same key\r\n");
  EXPECT_EQ(line("FSetup", "BInstall"), "FSetup.BInstall button caption=\"from Installation\" "
                                        "hint=\"hint with blanks around\" enabled=1");
  EXPECT_EQ(FSetup->BDeinstall->caption(), u"only in Common");
  EXPECT_EQ(FSetup->BLanguage->caption(), u"Language");  // other sections are not read
  EXPECT_EQ(FSetup->LFolder->caption(), u"  quoted with blanks  ");
  EXPECT_EQ(FSetup->LHint1->caption(), u"single quotes");
  EXPECT_EQ(FSetup->LHint2->caption(), u"\"unbalanced");
  EXPECT_EQ(FSetup->LNGDelete, u"Delete");
}

// "Caption" names both windows, and BClose relabels the button of each.
TEST_F(ChosenFile, CaptionAndCloseButtonReachBothWindows) {
  choose("[Common]\r\nCaption=Orvel-Draw setup\r\nBClose=Close\r\nBClose.Hint=Ends it\r\n");
  EXPECT_EQ(FSetup->caption(), u"Orvel-Draw setup");
  EXPECT_EQ(FMemo->caption(), u"Orvel-Draw setup");
  EXPECT_EQ(line("FSetup", "BClose"), "FSetup.BClose button caption=\"Close\" hint=\"Ends it\" enabled=1");
  EXPECT_EQ(line("FMemo", "BClose"), "FMemo.BClose button caption=\"Close\" hint=\"Ends it\" enabled=1");
}

// A file that names some controls leaves the others' texts as they are, but
// every message it does not name becomes empty: the administrator question
// then asks with an empty text.
TEST_F(ChosenFile, PartialFileKeepsOtherControlsButEmptiesUnnamedMessages) {
  choose("[Installation]\r\nBInstall=Install\r\nLNGCopyFromTo=Copy %s to %s\r\nLNGDelete=\r\nLFolder=\r\n");
  EXPECT_EQ(FSetup->BInstall->caption(), u"Install");
  EXPECT_EQ(FSetup->LFolder->caption(), u"Installationsorder - lokal oder im Netz");  // an empty value sets nothing
  EXPECT_EQ(FSetup->caption(), u"Setup für Orvel-Draw");
  EXPECT_EQ(FMemo->caption(), u"Installation");
  EXPECT_EQ(line("FMemo", "BClose"), german_.memo.back());
  std::map<std::string, Str> expected;
  for (const auto& [key, field] : kMessageFields) expected[key] = u"";
  expected["LNGCopyFromTo"] = u"Copy %s to %s";
  EXPECT_EQ(messages(), expected);
}

// A second file changes only what it names: controls keep the first file's
// texts, messages it does not name become empty.
TEST_F(ChosenFile, SecondFileAppliesOverTheFirst) {
  choose("[Installation]\r\nBInstall=Install\r\nBDeinstall=Uninstall\r\nLNGDelete=Delete\r\nLNGCreate=Create\r\n",
         u"first.ini");
  const Str second = choose("[Installation]\r\nBInstall=Installeren\r\nLNGCreate=Maak\r\n", u"second.ini");
  EXPECT_EQ(FSetup->Sprachdatei, second);
  EXPECT_EQ(FSetup->BInstall->caption(), u"Installeren");
  EXPECT_EQ(FSetup->BDeinstall->caption(), u"Uninstall");
  EXPECT_EQ(FSetup->LNGCreate, u"Maak");
  EXPECT_EQ(FSetup->LNGDelete, u"");
}

// A file without the two sections, or not an INI text at all, changes no
// window text but leaves every message empty.
TEST_F(ChosenFile, FileWithoutTheSectionsEmptiesTheMessagesOnly) {
  for (const std::string& bytes : {std::string("[Setup]\r\nBInstall=Install\r\nLNGDelete=Delete\r\n"),
                                   std::string("BInstall=Install\r\n"), std::string("\x00\x01\x02 binary", 10),
                                   std::string()}) {
    choose(bytes);
    EXPECT_EQ(dump(w_, "FSetup"), german_.setup);
    EXPECT_EQ(dump(w_, "FMemo"), german_.memo);
    for (const auto& [key, field] : kMessageFields) EXPECT_EQ(FSetup->*field, u"") << key;
  }
}

struct ItemsCase {
  int selectedBefore;
  const char* value;  // the line in the file
  const char* items;  // as the dump shows them
  int selectedAfter;
};

// The radio group's two choices: each quoted item becomes a choice and the
// selection stays; a single item is selected when the second one was; an
// unquoted pair is one item; a file without the key keeps both choices.
TEST(Language, RadioGroupItemsKeepTheSelection) {
  const ItemsCase cases[] = {
      /* 1 */ {0, "RGRegOrIni.Items=\"Registry\",\"INI files\"", "Registry\\nINI files", 0},
      /* 2 */ {1, "RGRegOrIni.Items=\"Registry\",\"INI files\"", "Registry\\nINI files", 1},
      /* 3 */ {1, "RGRegOrIni.Items=\"only one\"", "only one", 0},
      /* 4 */ {0, "RGRegOrIni.Items=Registry,INI files", "Registry,INI files", 0},
      /* 5 */ {1, "RGRegOrIni.Items=\"with \"\"quotes\"\"\" , \"and, comma\"", "with \\\"quotes\\\"\\nand, comma", 1},
      /* 6 */ {1, "RGRegOrIni=Settings", "in Registry speichern\\nin INI-Dateien speichern", 1},
  };
  TestMachine machine;
  int row = 0;
  for (const ItemsCase& c : cases) {
    SCOPED_TRACE("row " + std::to_string(++row));
    ScriptedWindows w;  // the German choices again
    FSetup->show();
    w.act("select FSetup.RGRegOrIni " + std::to_string(c.selectedBefore));
    const Str path = machine.scratch() + u"items.ini";
    test::writeTestFile(path, std::string("[Installation]\r\n") + c.value + "\r\n");
    w.addActions("file " + toUtf8(path) + "\n");
    w.act("click FSetup.BLanguage");
    const std::string dumped = w.dumped("FSetup", "RGRegOrIni");
    EXPECT_NE(dumped.find(" index=" + std::to_string(c.selectedAfter) + " items=\"" + c.items + "\""),
              std::string::npos)
        << dumped;
  }
}

// Language files come as UTF-16 or UTF-8 with a byte-order mark, or as 8-bit
// text in the ANSI code page.
TEST_F(ChosenFile, EncodingsOfTheFile) {
  const Str caption = u"Instalación ¿Sí?";
  const Str text = u"[Installation]\r\nCaption=" + caption + u"\r\nBInstall=Instalar\r\n";
  std::vector<std::pair<const char*, std::string>> files = {
      {"UTF-16", utf16le(text)},
      {"UTF-8", "\xEF\xBB\xBF" + toUtf8(text)},
  };
  if (sys::ansiCodePage() == 1252) files.push_back({"ANSI", sys::encode(text, 1252)});
  for (const auto& [encoding, bytes] : files) {
    SCOPED_TRACE(encoding);
    FSetup->setCaption(u"Setup für Orvel-Draw");
    choose(bytes, fromUtf8(encoding) + u".ini");
    EXPECT_EQ(FSetup->caption(), caption);
    EXPECT_EQ(FSetup->BInstall->caption(), u"Instalar");
  }
}

// A window with a component of every kind, to see what each kind takes.
class EveryKindForm : public gui::Form {
 public:
  explicit EveryKindForm(gui::Application& app) : gui::Form(app, u"FEvery") {
    using gui::Kind;
    const std::pair<Kind, const char16_t*> components[] = {
        {Kind::Button, u"B"},      {Kind::Edit, u"E"},        {Kind::CheckBox, u"C"},
        {Kind::ComboBox, u"CO"},   {Kind::ComboBox, u"CK"},   {Kind::RadioGroup, u"RG"},
        {Kind::Label, u"L"},       {Kind::GroupBox, u"G"},    {Kind::ListBox, u"LB"},
        {Kind::SpeedButton, u"S"}, {Kind::RadioButton, u"R"}, {Kind::Panel, u"P"},
        {Kind::Memo, u"M"},        {Kind::Other, u"O"},
    };
    for (const auto& [kind, name] : components) {
      gui::Component& c = add(kind, name);
      c.setCaption(u"old");
      c.setHint(u"old");
      c.setText(u"old");
    }
    for (const char16_t* name : {u"CO", u"CK"}) find(name)->setItems({u"x", u"y", u"z"});
    find(u"CO")->setItemIndex(2);
    find(u"CK")->setItemIndex(1);
    find(u"LB")->setItems({u"x"});
    find(u"M")->setLines({u"old"});
    created();
  }
};

struct KindCase {
  const char16_t* name;
  const char16_t* caption;
  const char16_t* hint;
  const char16_t* text;
  std::vector<Str> items;  // empty: not checked
  int index;               // kUnchecked: not checked
};
constexpr int kUnchecked = -2;

// Each kind takes the keys of its row: hint and caption, hint only, hint and
// item list, caption and re-quoted items, caption only, item list only, a
// speed button's hint from its plain name; a memo and a dialog take nothing.
TEST(Language, EachKindTakesItsKeys) {
  TestMachine machine;
  ScriptedWindows w;
  EveryKindForm form(w.app());
  TranslationList list;
  for (const char16_t* name : {u"B", u"E", u"C", u"CO", u"CK", u"RG", u"L", u"G", u"LB", u"S", u"R", u"P", u"M", u"O"}) {
    list.Add(name, Str(name) + u" caption");
    list.Add(Str(name) + u".Hint", Str(name) + u" hint");
    list.Add(Str(name) + u".Items", u"a,b");
  }
  list.Add(u"LB", u"not read: the first LB line wins");
  list.Add(u"Caption", u"Every kind");
  FSetup->SetzeSpracheImFormular(list, form);

  const std::vector<Str> ab = {u"a", u"b"}, xyz = {u"x", u"y", u"z"};
  const KindCase cases[] = {
      {u"B", u"B caption", u"B hint", u"old", {}, kUnchecked},
      {u"E", u"old", u"E hint", u"old", {}, kUnchecked},
      {u"C", u"C caption", u"C hint", u"old", {}, kUnchecked},
      {u"CO", u"old", u"CO hint", u"old", ab, -1},  // the item selected before is gone: none selected
      {u"CK", u"old", u"CK hint", u"old", ab, 1},
      {u"RG", u"RG caption", u"old", u"old", {u"a,b"}, -1},  // unquoted items in the file make one item
      {u"L", u"L caption", u"old", u"old", {}, kUnchecked},
      {u"G", u"G caption", u"old", u"old", {}, kUnchecked},
      {u"LB", u"old", u"old", u"old", {u"LB", u"caption"}, kUnchecked},
      {u"S", u"old", u"S caption", u"old", {}, kUnchecked},
      {u"R", u"R caption", u"old", u"old", {}, kUnchecked},
      {u"P", u"P caption", u"old", u"old", {}, kUnchecked},
      {u"M", u"old", u"old", u"old", {}, kUnchecked},
      {u"O", u"old", u"old", u"old", {}, kUnchecked},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(toUtf8(c.name));
    const gui::Component& component = *form.find(c.name);
    EXPECT_EQ(component.caption(), c.caption);
    EXPECT_EQ(component.hint(), c.hint);
    if (component.kind() != gui::Kind::Memo) {
      EXPECT_EQ(component.text(), c.text);
    }
    if (!c.items.empty()) {
      EXPECT_EQ(component.items(), c.items);
    }
    if (c.index != kUnchecked) {
      EXPECT_EQ(component.itemIndex(), c.index);
    }
  }
  EXPECT_EQ(form.find(u"M")->lines(), std::vector<Str>{u"old"});
  EXPECT_EQ(form.caption(), u"Every kind");
}

// An empty value sets nothing in a window, whatever the kind.
TEST(Language, EmptyValuesLeaveEveryKindAsItIs) {
  TestMachine machine;
  ScriptedWindows w;
  EveryKindForm form(w.app());
  form.setCaption(u"old");
  TranslationList list;
  for (const char16_t* name : {u"B", u"E", u"C", u"CO", u"CK", u"RG", u"L", u"G", u"LB", u"S", u"R", u"P"}) {
    list.Add(name, u"");
    list.Add(Str(name) + u".Hint", u"");
    list.Add(Str(name) + u".Items", u"");
  }
  list.Add(u"Caption", u"");
  FSetup->SetzeSpracheImFormular(list, form);
  EXPECT_EQ(form.caption(), u"old");
  for (const auto& component : form.components()) {
    SCOPED_TRACE(toUtf8(component->name()));
    EXPECT_EQ(component->caption(), u"old");
    EXPECT_EQ(component->hint(), u"old");
  }
  EXPECT_EQ(form.find(u"CO")->items(), (std::vector<Str>{u"x", u"y", u"z"}));
  EXPECT_EQ(form.find(u"CO")->itemIndex(), 2);
  EXPECT_EQ(form.find(u"LB")->items(), std::vector<Str>{u"x"});
}

// The translation list holds the "Installation" lines first, each key once in
// file order with the value the profile reader gives, then the "Common" lines.
TEST(Language, TranslationListOfAFile) {
  TestMachine machine;
  const Str path = machine.scratch() + u"list.ini";
  test::writeTestFile(path,
                      "[Common]\r\nB=common b\r\nA=common a\r\n"
                      "[Installation]\r\nZ= \"z\" \r\nA=install a\r\nz=again\r\n");
  EXPECT_EQ(ReadTranslationList(path).Lines(),
            (std::vector<Str>{u"Z=z", u"A=install a", u"B=common b", u"A=common a"}));
  EXPECT_TRUE(ReadTranslationList(machine.scratch() + u"missing.ini").Empty());
}

// A value is cut after 2047 characters, as the profile reader gives it.
TEST(Language, LongValuesAreCutAtTheReadersLimit) {
  TestMachine machine;
  const Str path = machine.scratch() + u"long.ini";
  test::writeTestFile(path, "[Installation]\r\nLNGDelete=" + std::string(3000, 'x') + "\r\n");
  EXPECT_EQ(ReadTranslationList(path).Value(u"LNGDelete"), Str(profile::kMaxValue, u'x'));
}

// A file that does not name the administrator question leaves it empty: a
// user without administrator rights is asked with an empty text.
TEST(LanguageInstallation, EmulatedOnly_UnnamedAdministratorQuestionIsEmpty) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a user without administrator rights";
  test::InstallerCase c(test::MachineIni{{"Machine.Administrator", "0"}});
  const Str path = c.scratch() + u"partial.ini";
  test::writeTestFile(path, "[Installation]\r\nBInstall=Install\r\n");
  c.w().addActions("file " + toUtf8(path) + "\n");
  c.w().act("click FSetup.BLanguage");
  EXPECT_EQ(c.install("answer &Nein\n"),
            Lines{"msgbox warning \"Warnung\" \"\" \"&Ja\",\"&Nein\" -> \"&Nein\""});
  EXPECT_FALSE(test::folderExists(c.target()));
}

// --- an installation in the chosen language -----------------------------------

// The project's own Spanish file, from the source tree.
std::string spanishFile() {
  std::string source = ORVEL_SOURCE_DIR "/dist/languages/espanol.ini";
  Str path = u"Z:" + fromUtf8(source);
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  return test::readTestFile(path);
}

test::FileSet spanishDistribution() {
  return {{u"OrvelDraw.exe", "the application"},
          {u"Setup.exe", "the setup program"},
          {u"languages\\espanol.ini", spanishFile()}};
}

// A portable installation after choosing the distribution's Spanish file logs
// in Spanish, points the file in use into the installation and records it
// there relative to the installation folder.
TEST(LanguageInstallation, PortableInstallationRecordsTheInstalledFileRelatively) {
  test::InstallerCase c({}, spanishDistribution());
  c.w().addActions("file " + toUtf8(c.dist()) + "languages\\espanol.ini\n");
  c.w().act("click FSetup.BLanguage");
  c.w().act("check FSetup.CBPortableApplication");
  c.w().act("uncheck FSetup.CBStartmenu");
  EXPECT_EQ(FSetup->CBPortableApplication->caption(), u"Aplicación portátil / memoria USB");
  EXPECT_EQ(c.install(), Lines{"show FMemo \"Instalación de Orvel-Draw\""});

  const Str t = c.target(), d = c.dist();
  const std::vector<Str> log = {
      u"create directory: " + t,
      u"create directory: " + t + u"App\\Cache\\",
      u"create directory: " + t + u"App\\Temp\\",
      u"create directory: " + t + u"Orvel\\",
      u"create directory: " + t + u"Data\\",
      u"Copiando " + d + u"OrvelDraw.exe a " + t + u"OrvelDraw.exe",
      u"create directory: " + t + u"languages",
      u"Copiando " + d + u"languages\\espanol.ini a " + t + u"languages\\espanol.ini",
      u"Copiando " + d + u"Setup.exe a " + t + u"Setup.exe",
      u"Creando acceso directo del escritorio " + c.desktopShortcut(),
      u"Creando el archivo de configuración " + t + u"ODMachine.INI",
      u"Guardando la configuración del usuario en " + t + u"Data\\",
      u"Guardando el registro de instalación en " + t + u"install.txt",
  };
  EXPECT_EQ(c.logLines(), log);
  EXPECT_EQ(FSetup->Sprachdatei, t + u"languages\\espanol.ini");
  EXPECT_EQ(profile::readString(t + u"ODMachine.INI", u"Orvel", u"Language", u"(none)"), u"languages\\espanol.ini");
  EXPECT_EQ(profile::readString(t + u"ODMachine.INI", u"User", u"HomeDir", u"(none)"), u"Data");
  if (sys::ansiCodePage() == 1252) {
    EXPECT_EQ(test::readTestFile(t + u"install.txt"), test::installLogBytes(log));
  }
}

// Not portable, in INI files: the configuration names the installed file by its full path.
TEST(LanguageInstallation, IniInstallationRecordsTheFullPath) {
  test::InstallerCase c({}, spanishDistribution());
  c.w().addActions("file " + toUtf8(c.dist()) + "languages\\espanol.ini\n");
  c.w().act("click FSetup.BLanguage");
  c.w().act("select FSetup.RGRegOrIni 1");
  c.w().act("set FSetup.EUserfolder " + toUtf8(c.scratch()) + "Ajustes");
  c.w().act("uncheck FSetup.CBStartmenu");
  c.w().act("uncheck FSetup.CBDesktopSymbol");
  c.install();
  EXPECT_EQ(profile::readString(c.target() + u"ODMachine.INI", u"Orvel", u"Language", u"(none)"),
            c.target() + u"languages\\espanol.ini");
  const std::vector<Str> log = c.logLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), u"Guardando el registro de instalación en " + c.target() + u"install.txt");
}

}  // namespace
}  // namespace orvel
