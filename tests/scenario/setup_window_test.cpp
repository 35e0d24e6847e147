// The setup window as a user sees it through the scripted GUI: its defaults
// on a fresh machine, and how the portable box, the radio group and the two
// folder buttons keep each other consistent.
#include <gtest/gtest.h>

#include "common/fmx_utils.h"
#include "gui/script/scripted_gui.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::ScriptedWindows;
using test::TestMachine;
using MachineIni = std::map<std::string, std::string>;

std::string q(const Str& text) { return gui::quoteForTranscript(text); }

Str userName() { return sys::networkUserName(100).value_or(Str()); }

Str defaultInstallationFolder() { return GetSpecialFolder(shell::kCsidlProgramFiles) + u"\\OrvelDraw\\"; }

// The application-data default with the user's name as placeholder.
Str defaultUserFolder() {
  Str folder = GetSpecialFolder(shell::kCsidlAppData) + u"\\OrvelDraw\\";
  const Str user = userName();
  if (size_t at = folder.find(user); !user.empty() && at != Str::npos) folder.replace(at, user.size(), u"%Username%");
  return folder;
}

std::string editLine(const char* name, const Str& text, bool enabled) {
  return std::string("FSetup.") + name + " edit hint=\"\" text=" + q(text) + " enabled=" + (enabled ? "1" : "0");
}

// A fresh machine shows the program-files folder and the placeholder form of
// the application-data folder, the registry choice, and a disabled user folder.
TEST(SetupWindow, FreshMachineShowsTheDefaults) {
  TestMachine machine;
  ScriptedWindows w;
  if (TestMachine::emulated()) {
    EXPECT_EQ(defaultInstallationFolder(), u"C:\\Program Files\\OrvelDraw\\");
    EXPECT_EQ(defaultUserFolder(), u"C:\\Users\\%Username%\\AppData\\Roaming\\OrvelDraw\\");
  } else {
    EXPECT_NE(defaultUserFolder().find(u"\\%Username%\\"), Str::npos);
  }
  w.act("dump FSetup");
  const std::vector<std::string> expected = {
      "FSetup form caption=\"Setup für Orvel-Draw\" visible=0",
      "FSetup.LFolder label caption=\"Installationsorder - lokal oder im Netz\" enabled=1",
      editLine("EFolder", defaultInstallationFolder(), true),
      "FSetup.SBOrdner speedbutton hint=\"\" enabled=1",
      "FSetup.BInstall button caption=\"Installieren\" hint=\"\" enabled=1",
      "FSetup.RGRegOrIni radiogroup caption=\" Konfigurationseinstellungen \" enabled=1 index=0 "
      "items=\"in Registry speichern\\nin INI-Dateien speichern\"",
      "FSetup.BDeinstall button caption=\"Deinstallieren\" hint=\"\" enabled=1",
      "FSetup.CBStartmenu checkbox caption=\"Eintrag in das Startmenü erzeugen\" hint=\"\" checked=1 enabled=1",
      "FSetup.CBDesktopSymbol checkbox caption=\"Desktop-Symbol erzeugen\" hint=\"\" checked=1 enabled=1",
      "FSetup.BLanguage button caption=\"Language\" hint=\"\" enabled=1",
      "FSetup.CBPortableApplication checkbox caption=\"Portable Anwendung / USB-Stick\" hint=\"\" checked=0 enabled=1",
      "FSetup.LHint1 label caption=\"Ordner zur Speicherung benutzerspezifischer Einstellungen\" enabled=1",
      "FSetup.BClose button caption=\"Beenden\" hint=\"\" enabled=1",
      "FSetup.LHint2 label caption=\"Permanentes Schreibrecht für Benutzer, %Username% im Pfad möglich\" enabled=1",
      editLine("EUserfolder", defaultUserFolder(), false),
      "FSetup.SBUserIni speedbutton hint=\"\" enabled=0",
      "FSetup.ODWaehlen other",
  };
  EXPECT_EQ(w.take(), expected);
  EXPECT_EQ(FSetup->EUserfolder->colour(), gui::Colour::Menu);
  EXPECT_EQ(FSetup->Dir, defaultInstallationFolder());
  EXPECT_FALSE(FSetup->Fehler);
  EXPECT_TRUE(FSetup->Starting);
  EXPECT_EQ(FSetup->NachDir, u"");
  EXPECT_EQ(FSetup->Sprachdatei, u"");
}

// The window's own special folders: the all-users Start menu and desktop.
TEST(SetupWindow, ShortcutFoldersAreTheAllUsersFolders) {
  TestMachine machine;
  ScriptedWindows w;
  EXPECT_EQ(FSetup->StartmenueProgrammeVerzeichnis,
            GetSpecialFolder(shell::kCsidlCommonStartMenu) + u"\\Programs\\");
  EXPECT_EQ(FSetup->DesktopVerzeichnis, GetSpecialFolder(shell::kCsidlCommonDesktopDirectory) + u"\\");
  if (TestMachine::emulated()) {
    EXPECT_EQ(FSetup->StartmenueProgrammeVerzeichnis, u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\");
    EXPECT_EQ(FSetup->DesktopVerzeichnis, u"C:\\Users\\Public\\Desktop\\");
  }
}

// Setup mode from a script: the window opens, is painted once, shows its
// defaults, and the run ends as if it were closed when the script ends.
TEST(SetupWindow, ScriptRunShowsTheWindowAndEndsWithTheScript) {
  TestMachine machine;
  ScriptedWindows w;
  w.addActions("dump FSetup\n");
  w.app().run();
  const auto lines = w.take();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "show FSetup \"Setup für Orvel-Draw\"");
  EXPECT_EQ(lines[1], "FSetup form caption=\"Setup für Orvel-Draw\" visible=1");
  EXPECT_EQ(lines.back(), "close FSetup");
  EXPECT_FALSE(FSetup->Starting);
  EXPECT_TRUE(w.app().terminated());
}

TEST(SetupWindow, StartedFromANetworkShareItInstallsIntoThatFolder) {
  TestMachine machine;
  ScriptedWindows w(u"\\\\server\\share\\dist\\Setup.exe");
  EXPECT_EQ(w.dumped("FSetup", "EFolder"), editLine("EFolder", u"\\\\server\\share\\dist\\", true));
  EXPECT_EQ(FSetup->Dir, u"\\\\server\\share\\dist\\");
}

TEST(SetupWindow, StartedFromALocalDriveItProposesTheProgramFilesFolder) {
  TestMachine machine;
  ScriptedWindows w(u"D:\\dist\\Setup.exe");
  EXPECT_EQ(w.dumped("FSetup", "EFolder"), editLine("EFolder", defaultInstallationFolder(), true));
}

// Checking the portable box chooses INI files and shows the installation's
// Data folder; unchecking it brings back the application-data default with
// the folder usable (INI files stay chosen).
TEST(SetupWindow, PortableBoxGoesWithIniFilesAndTheDataFolder) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.act("set FSetup.EFolder E:\\OrvelDraw\\");
  w.act("check FSetup.CBPortableApplication");
  EXPECT_NE(w.dumped("FSetup", "RGRegOrIni").find(" index=1 "), std::string::npos);
  EXPECT_EQ(w.dumped("FSetup", "EUserfolder"), editLine("EUserfolder", u"E:\\OrvelDraw\\Data\\", false));
  EXPECT_EQ(w.dumped("FSetup", "SBUserIni"), "FSetup.SBUserIni speedbutton hint=\"\" enabled=0");
  EXPECT_EQ(FSetup->EUserfolder->colour(), gui::Colour::Menu);

  w.act("uncheck FSetup.CBPortableApplication");
  EXPECT_NE(w.dumped("FSetup", "RGRegOrIni").find(" index=1 "), std::string::npos);
  EXPECT_EQ(w.dumped("FSetup", "EUserfolder"), editLine("EUserfolder", defaultUserFolder(), true));
  EXPECT_EQ(w.dumped("FSetup", "SBUserIni"), "FSetup.SBUserIni speedbutton hint=\"\" enabled=1");
  EXPECT_EQ(FSetup->EUserfolder->colour(), gui::Colour::Window);
}

// The Data folder is the one the installation uses, also when the typed
// installation folder lacks its trailing backslash.
TEST(SetupWindow, PortableDataFolderAddsTheMissingBackslash) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.act("set FSetup.EFolder E:\\OrvelDraw");
  w.act("check FSetup.CBPortableApplication");
  EXPECT_EQ(FSetup->EUserfolder->text(), u"E:\\OrvelDraw\\Data\\");
}

// With the portable box checked, choosing the registry clears the box (its
// handler runs) and the folder returns to the disabled default.
TEST(SetupWindow, RegistryChoiceClearsThePortableBox) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.act("check FSetup.CBPortableApplication");
  w.act("select FSetup.RGRegOrIni 0");
  EXPECT_FALSE(FSetup->CBPortableApplication->checked());
  EXPECT_EQ(w.dumped("FSetup", "EUserfolder"), editLine("EUserfolder", defaultUserFolder(), false));
  EXPECT_FALSE(FSetup->SBUserIni->enabled());
  EXPECT_EQ(FSetup->EUserfolder->colour(), gui::Colour::Menu);
}

// INI files without the portable box make the folder and its button usable;
// the registry disables them again, and a disabled button cannot be clicked.
TEST(SetupWindow, IniChoiceEnablesTheUserFolder) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.take();
  w.act("click FSetup.SBUserIni");
  EXPECT_EQ(w.take(), std::vector<std::string>{"ignored \"click FSetup.SBUserIni: SBUserIni is disabled\""});
  w.act("select FSetup.RGRegOrIni 1");
  EXPECT_TRUE(FSetup->EUserfolder->enabled());
  EXPECT_TRUE(FSetup->SBUserIni->enabled());
  EXPECT_EQ(FSetup->EUserfolder->colour(), gui::Colour::Window);
  EXPECT_EQ(FSetup->EUserfolder->text(), defaultUserFolder());
  w.act("select FSetup.RGRegOrIni 0");
  EXPECT_FALSE(FSetup->EUserfolder->enabled());
  EXPECT_FALSE(FSetup->SBUserIni->enabled());
}

// The installation-folder button adds "OrvelDraw\" unless the chosen folder
// names it (case-sensitive); the next dialog starts in the new folder.
TEST(SetupWindow, FolderButtonSetsTheInstallationFolder) {
  struct Case {
    const char* chosen;
    const char16_t* shown;
  };
  const Case cases[] = {
      {"D:\\Tools", u"D:\\Tools\\OrvelDraw\\"},
      {"D:\\OrvelDraw", u"D:\\OrvelDraw\\"},
      {"D:\\Tools\\orveldraw", u"D:\\Tools\\orveldraw\\OrvelDraw\\"},
      {"D:\\Tools\\", u"D:\\Tools\\OrvelDraw\\"},
      {"\\\\server\\share\\OrvelDraw-2\\", u"\\\\server\\share\\OrvelDraw-2\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    TestMachine machine;
    ScriptedWindows w;
    FSetup->show();
    w.take();
    w.addActions(std::string("folder ") + c.chosen + "\n");
    w.act("click FSetup.SBOrdner");
    EXPECT_EQ(w.take(), std::vector<std::string>{"folderdialog " + q(defaultInstallationFolder()) + " -> " +
                                                 q(fromUtf8(c.chosen))});
    EXPECT_EQ(FSetup->EFolder->text(), c.shown);
    EXPECT_EQ(FSetup->Dir, c.shown);
    EXPECT_EQ(FSetup->EUserfolder->text(), defaultUserFolder());  // not portable: unchanged
    w.act("click FSetup.SBOrdner");
    EXPECT_EQ(w.take(), std::vector<std::string>{"folderdialog " + q(c.shown) + " -> cancel (default)"});
  }
}

TEST(SetupWindow, CancelledFolderDialogChangesNothing) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.act("check FSetup.CBPortableApplication");
  const Str userFolder = FSetup->EUserfolder->text();
  w.addActions("cancel\n");
  w.act("click FSetup.SBOrdner");
  EXPECT_EQ(FSetup->EFolder->text(), defaultInstallationFolder());
  EXPECT_EQ(FSetup->Dir, defaultInstallationFolder());
  EXPECT_EQ(FSetup->EUserfolder->text(), userFolder);
}

TEST(SetupWindow, FolderButtonInPortableModeMovesTheDataFolderAlong) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.act("check FSetup.CBPortableApplication");
  w.addActions("folder F:\\\n");
  w.act("click FSetup.SBOrdner");
  EXPECT_EQ(FSetup->EFolder->text(), u"F:\\OrvelDraw\\");
  EXPECT_EQ(FSetup->EUserfolder->text(), u"F:\\OrvelDraw\\Data\\");
}

// The user-folder button opens in the field's folder with the real user name
// and puts the chosen folder into the field; the installation-folder dialog
// then starts there too.
TEST(SetupWindow, UserFolderButtonSetsTheUserFolder) {
  TestMachine machine;
  ScriptedWindows w;
  FSetup->show();
  w.act("select FSetup.RGRegOrIni 1");
  w.take();
  w.addActions("folder D:\\Settings\n");
  w.act("click FSetup.SBUserIni");
  EXPECT_EQ(w.take(), std::vector<std::string>{"folderdialog " + q(FSetup->ReplaceUsername(defaultUserFolder())) +
                                               " -> \"D:\\\\Settings\""});
  EXPECT_EQ(FSetup->EUserfolder->text(), u"D:\\Settings\\");
  EXPECT_EQ(FSetup->EFolder->text(), defaultInstallationFolder());
  w.act("click FSetup.SBOrdner");
  EXPECT_EQ(w.take(), std::vector<std::string>{"folderdialog \"D:\\\\Settings\\\\\" -> cancel (default)"});
}

TEST(SetupWindow, ReplaceUsernameFindsThePlaceholderInAnyCaseOnce) {
  TestMachine machine;
  ScriptedWindows w;
  const Str user = FSetup->GetUsername();
  EXPECT_EQ(user, userName());
  EXPECT_EQ(FSetup->ReplaceUsername(u"C:\\Users\\%Username%\\x\\"), u"C:\\Users\\" + user + u"\\x\\");
  EXPECT_EQ(FSetup->ReplaceUsername(u"C:\\%username%\\"), u"C:\\" + user + u"\\");
  EXPECT_EQ(FSetup->ReplaceUsername(u"%USERNAME%\\%USERNAME%"), user + u"\\%USERNAME%");
  EXPECT_EQ(FSetup->ReplaceUsername(u"C:\\%User%\\"), u"C:\\%User%\\");
}

TEST(SetupWindow, CloseButtonAndCaptionBarEndTheProgram) {
  for (const char* action : {"click FSetup.BClose", "close FSetup"}) {
    SCOPED_TRACE(action);
    TestMachine machine;
    ScriptedWindows w;
    FSetup->show();
    w.take();
    w.act(action);
    EXPECT_EQ(w.take(), std::vector<std::string>{"close FSetup"});
    EXPECT_TRUE(w.app().terminated());
  }
}

TEST(SetupWindow, EmulatedOnly_MissingAllUsersFoldersFallBackToTheUsersOwn) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a machine without all-users folders";
  TestMachine machine(MachineIni{{"Folders.CommonDesktop", ""}, {"Folders.CommonStartMenu", ""}});
  ScriptedWindows w;
  const Str user = userName();
  EXPECT_EQ(FSetup->DesktopVerzeichnis, u"C:\\Users\\" + user + u"\\Desktop\\");
  EXPECT_EQ(FSetup->StartmenueProgrammeVerzeichnis,
            u"C:\\Users\\" + user + u"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\");
}

TEST(SetupWindow, EmulatedOnly_NoShellFoldersAtAllLeaveTheAppendedTexts) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a machine without special folders";
  TestMachine machine(MachineIni{{"Folders.CommonDesktop", ""},
                                 {"Folders.Desktop", ""},
                                 {"Folders.CommonStartMenu", ""},
                                 {"Folders.StartMenu", ""},
                                 {"Folders.ProgramFiles", ""},
                                 {"Folders.AppData", ""}});
  ScriptedWindows w;
  EXPECT_EQ(FSetup->DesktopVerzeichnis, u"\\");
  EXPECT_EQ(FSetup->StartmenueProgrammeVerzeichnis, u"\\Programs\\");
  EXPECT_EQ(FSetup->EFolder->text(), u"\\OrvelDraw\\");
  EXPECT_EQ(FSetup->EUserfolder->text(), u"\\OrvelDraw\\");
}

// A failing WNetGetUserW: the name is 100 blanks, which the application-data
// path does not contain, and which replace the placeholder.
TEST(SetupWindow, EmulatedOnly_FailingUserNameGivesBlanks) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a machine whose WNetGetUserW fails";
  TestMachine machine(MachineIni{{"Machine.UserName", ""}});
  ScriptedWindows w;
  const Str blanks(100, u' ');
  EXPECT_EQ(FSetup->GetUsername(), blanks);
  const Str appData = GetSpecialFolder(shell::kCsidlAppData);
  ASSERT_NE(appData, u"");
  EXPECT_EQ(FSetup->EUserfolder->text(), appData + u"\\OrvelDraw\\");
  EXPECT_EQ(FSetup->ReplaceUsername(u"C:\\%Username%\\"), u"C:\\" + blanks + u"\\");
}

// A one-letter user name equal to the drive letter is replaced where it first occurs.
TEST(SetupWindow, EmulatedOnly_UserNameIsReplacedAtItsFirstOccurrenceOnly) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a machine with a chosen user name";
  TestMachine machine(MachineIni{{"Machine.UserName", "C"}});
  ScriptedWindows w;
  EXPECT_EQ(FSetup->EUserfolder->text(), u"%Username%:\\Users\\C\\AppData\\Roaming\\OrvelDraw\\");
}

}  // namespace
}  // namespace orvel
