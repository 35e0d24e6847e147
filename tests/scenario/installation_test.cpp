// The installation through the setup window's button: the three ways of
// installing, an installation into the source folder, and the runs that
// stop or go on after a failure, each checked by what a user can see
// afterwards: files, folders, shortcuts, configuration, install.txt, the
// log window and the message boxes.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/fmx_utils.h"
#include "gui/script/scripted_gui.h"
#include "platform/shell.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using test::InstallerCase;
using test::TestMachine;

std::string q(const Str& text) { return gui::quoteForTranscript(text); }

std::string errorBox(const Str& text, const char* title = "\"Fehler\"") {
  return "msgbox error " + std::string(title) + " " + q(text) + " \"OK\" -> \"OK\" (default)";
}

const std::string kLogShown = "show FMemo \"Installation\"";

// Every file of the distribution that an installation copies, with its bytes.
void expectCopied(const InstallerCase& c, const std::vector<Str>& names) {
  for (const Str& name : names) {
    SCOPED_TRACE(toUtf8(name));
    ASSERT_TRUE(test::exists(c.target() + name));
    EXPECT_EQ(test::readTestFile(c.target() + name), test::readTestFile(c.dist() + name));
  }
}

const std::vector<Str> kInstalledFiles = {
    u"OrvelDraw.exe",          u"Setup.exe",         u"languages\\english.ini",
    u"languages\\dutch.ini",   u"templates\\letter.odt", u"templates\\Vorlage ohne Punkt",
    u"styles\\dark.css",
};

void expectShortcutToTheApplication(const Str& link, const Str& folder) {
  SCOPED_TRACE(toUtf8(link));
  auto shortcut = test::readShortcut(link);
  ASSERT_TRUE(shortcut.has_value());
  EXPECT_EQ(shortcut->program, folder + u"OrvelDraw.exe");
  EXPECT_EQ(shortcut->workingDirectory, folder);
}

// Registry: every file copied flat (no readme.txt, no deeper style), three
// shortcuts to the installed program, the two values below HKLM, no
// machine INI file, and install.txt holding the whole log.
TEST(Installation, IntoTheRegistryCopiesTheFilesWritesShortcutsAndValues) {
  InstallerCase c;
  FSetup->Sprachdatei = c.dist() + u"languages\\english.ini";
  EXPECT_EQ(c.install(), std::vector<std::string>{kLogShown});

  std::vector<Str> log = {u"create directory: " + c.target()};
  test::append(log, test::copyLines(c.dist(), c.target()));
  test::append(log, {u"Erzeuge Desktop-Verknüpfung " + c.desktopShortcut(),
                     u"Erzeuge Eintrag ins Programme-Menü " + c.startMenuShortcut(),
                     u"Erzeuge zusätzliche Desktop-Verknüpfung für den Orvel-Draw im Ordner " + c.target(),
                     test::appsEntryLine(), u"Speichere Installationsablauf in " + c.target() + u"install.txt"});
  EXPECT_EQ(c.logLines(), log);
  EXPECT_EQ(test::readTestFile(c.target() + u"install.txt"), test::installLogBytes(log));
  ASSERT_EQ(sys::ansiCodePage(), 1252u);
  EXPECT_NE(test::readTestFile(c.target() + u"install.txt").find("\r\nErzeuge Desktop-Verkn\xFCpfung "), std::string::npos);

  expectCopied(c, kInstalledFiles);
  EXPECT_FALSE(test::exists(c.target() + u"languages\\readme.txt"));
  EXPECT_FALSE(test::folderExists(c.target() + u"styles\\more"));
  EXPECT_FALSE(test::exists(c.target() + u"ODMachine.INI"));
  for (const char16_t* folder : {u"App", u"Orvel", u"Data"}) EXPECT_FALSE(test::folderExists(c.target() + folder));

  expectShortcutToTheApplication(c.desktopShortcut(), c.target());
  expectShortcutToTheApplication(c.startMenuShortcut(), c.target());
  expectShortcutToTheApplication(c.target() + u"OrvelDraw.lnk", c.target());

  auto language = test::registryValue(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel", u"Language");
  ASSERT_TRUE(language.has_value());
  EXPECT_EQ(language->type, reg::kSz);
  EXPECT_EQ(reg::stringOf(*language), c.target() + u"languages\\english.ini");
  auto portable = test::registryValue(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel", u"PortableApplication");
  ASSERT_TRUE(portable.has_value());
  EXPECT_EQ(portable->type, reg::kDword);
  EXPECT_EQ(reg::dwordOf(*portable), 0u);

  // The language file in use now lies in the installation.
  EXPECT_EQ(FSetup->Sprachdatei, c.target() + u"languages\\english.ini");
  EXPECT_EQ(FMemo->Installation, 0);
  EXPECT_TRUE(FMemo->visible());
}

// In listing order a folder's names may grow shorter: each log line, copy and
// the language file in use name that file alone, nothing of a longer name
// listed before it.
TEST(Installation, AShorterNameAfterALongerOneKeepsNothingOfIt) {
  test::FileSet files = test::standardDistribution();
  files[u"languages\\afrikaans-suid-afrika.ini"] = "[Setup]\r\n";
  files[u"templates\\a-template-with-a-long-name.odt"] = "a long name";
  files[u"templates\\b.odt"] = "a short one";
  InstallerCase c({}, files);
  FSetup->Sprachdatei = c.dist() + u"languages\\english.ini";
  EXPECT_EQ(c.install(), std::vector<std::string>{kLogShown});

  const std::vector<Str> copies = test::copyLines(c.dist(), c.target());
  const std::vector<Str> log = c.logLines();
  ASSERT_GT(log.size(), copies.size());
  EXPECT_EQ(std::vector<Str>(log.begin() + 1, log.begin() + 1 + static_cast<std::ptrdiff_t>(copies.size())), copies);
  EXPECT_EQ(test::readTestFile(c.target() + u"install.txt"), test::installLogBytes(log));
  std::vector<Str> installed = kInstalledFiles;
  for (const char16_t* name :
       {u"languages\\afrikaans-suid-afrika.ini", u"templates\\a-template-with-a-long-name.odt", u"templates\\b.odt"})
    installed.push_back(name);
  expectCopied(c, installed);
  EXPECT_EQ(FSetup->Sprachdatei, c.target() + u"languages\\english.ini");
}

// INI files with a placeholder in the user folder: the folder of the real
// user is made, the configuration keeps the placeholder, and ODMachine.INI
// holds exactly the three entries.
TEST(Installation, IntoIniFilesMakesTheUsersFolderAndWritesODMachineIni) {
  InstallerCase c;
  c.w().act("select FSetup.RGRegOrIni 1");
  const Str typed = c.scratch() + u"Users\\%USERNAME%\\Settings";
  c.w().act("set FSetup.EUserfolder " + toUtf8(typed));
  EXPECT_EQ(c.install(), std::vector<std::string>{kLogShown});

  const Str realFolder = c.scratch() + u"Users\\" + FSetup->GetUsername() + u"\\Settings\\";
  EXPECT_TRUE(test::folderExists(realFolder));
  std::vector<Str> log = {u"create directory: " + c.target(), u"create directory: " + realFolder};
  test::append(log, test::copyLines(c.dist(), c.target()));
  test::append(log, {u"Erzeuge Desktop-Verknüpfung " + c.desktopShortcut(),
                     u"Erzeuge Eintrag ins Programme-Menü " + c.startMenuShortcut(),
                     u"Erzeuge zusätzliche Desktop-Verknüpfung für den Orvel-Draw im Ordner " + c.target(),
                     u"Erzeuge Konfigurationsdatei " + c.target() + u"ODMachine.INI",
                     u"Speichere darin " + typed + u"\\", test::appsEntryLine(),
                     u"Speichere Installationsablauf in " + c.target() + u"install.txt"});
  EXPECT_EQ(c.logLines(), log);
  EXPECT_EQ(test::readTestFile(c.target() + u"install.txt"), test::installLogBytes(log));
  EXPECT_EQ(test::readTestFile(c.target() + u"ODMachine.INI"),
            "[User]\r\nHomeDir=" + sys::encode(typed, sys::ansiCodePage()) +
                "\\\r\n[Orvel]\r\nLanguage=\r\nPortableApplication=0\r\n");
  EXPECT_EQ(FSetup->EUserfolder->text(), typed + u"\\");
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel", u"Language"));
  expectCopied(c, kInstalledFiles);
  EXPECT_EQ(FMemo->Installation, 0);
}

// Portable: the four folders, relative paths in ODMachine.INI, shortcuts only
// as the boxes say and none in the installation folder.
TEST(Installation, PortableKeepsEverythingBelowTheInstallationFolder) {
  InstallerCase c;
  FSetup->Sprachdatei = c.dist() + u"languages\\english.ini";
  c.w().act("check FSetup.CBPortableApplication");
  c.w().act("uncheck FSetup.CBStartmenu");
  EXPECT_EQ(c.install(), std::vector<std::string>{kLogShown});

  std::vector<Str> log = {u"create directory: " + c.target()};
  for (const Str folder : {u"App\\Cache\\", u"App\\Temp\\", u"Orvel\\", u"Data\\"}) {
    log.push_back(u"create directory: " + c.target() + folder);
    EXPECT_TRUE(test::folderExists(c.target() + folder)) << toUtf8(folder);
  }
  test::append(log, test::copyLines(c.dist(), c.target()));
  test::append(log, {u"Erzeuge Desktop-Verknüpfung " + c.desktopShortcut(),
                     u"Erzeuge Konfigurationsdatei " + c.target() + u"ODMachine.INI",
                     u"Speichere darin " + c.target() + u"Data\\",
                     u"Speichere Installationsablauf in " + c.target() + u"install.txt"});
  EXPECT_EQ(c.logLines(), log);
  EXPECT_EQ(test::readTestFile(c.target() + u"ODMachine.INI"),
            "[User]\r\nHomeDir=Data\r\n[Orvel]\r\nLanguage=languages\\english.ini\r\nPortableApplication=1\r\n");
  expectShortcutToTheApplication(c.desktopShortcut(), c.target());
  EXPECT_FALSE(test::exists(c.startMenuShortcut()));
  EXPECT_FALSE(test::exists(c.target() + u"OrvelDraw.lnk"));
  EXPECT_FALSE(test::registryValue(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel", u"Language"));
  EXPECT_EQ(FMemo->Installation, 0);
}

// Portable with both shortcut boxes cleared and the German texts: no
// shortcut at all, and an empty Language entry.
TEST(Installation, PortableWithoutShortcutsWritesNone) {
  InstallerCase c;
  c.w().act("check FSetup.CBPortableApplication");
  c.w().act("uncheck FSetup.CBStartmenu");
  c.w().act("uncheck FSetup.CBDesktopSymbol");
  c.install();
  for (const Str& link : {c.desktopShortcut(), c.startMenuShortcut(), c.target() + u"OrvelDraw.lnk"})
    EXPECT_FALSE(test::exists(link)) << toUtf8(link);
  for (const Str& line : c.logLines()) EXPECT_EQ(line.find(u"Verknüpfung"), Str::npos) << toUtf8(line);
  EXPECT_EQ(test::readTestFile(c.target() + u"ODMachine.INI"),
            "[User]\r\nHomeDir=Data\r\n[Orvel]\r\nLanguage=\r\nPortableApplication=1\r\n");
}

// Installing into the folder the setup program runs from (a share's
// default) copies nothing; folders, shortcuts, configuration and log are
// written and the application will be started.
TEST(Installation, IntoTheSourceFolderCopiesNothing) {
  InstallerCase c;
  c.w().act("set FSetup.EFolder " + toUtf8(c.dist()));
  c.install();
  const Str d = c.dist();
  const std::vector<Str> log = {
      u"directory already exists: " + d,
      u"directory already exists: " + d + u"languages",
      u"directory already exists: " + d + u"templates",
      u"directory already exists: " + d + u"styles",
      u"Erzeuge Desktop-Verknüpfung " + c.desktopShortcut(),
      u"Erzeuge Eintrag ins Programme-Menü " + c.startMenuShortcut(),
      u"Erzeuge zusätzliche Desktop-Verknüpfung für den Orvel-Draw im Ordner " + d,
      test::appsEntryLine(),
      u"Speichere Installationsablauf in " + d + u"install.txt",
  };
  EXPECT_EQ(c.logLines(), log);
  EXPECT_EQ(test::readTestFile(d + u"install.txt"), test::installLogBytes(log));
  expectShortcutToTheApplication(d + u"OrvelDraw.lnk", d);
  EXPECT_EQ(test::readTestFile(d + u"OrvelDraw.exe"), "the application");
  EXPECT_EQ(FMemo->Installation, 0);
}

// The source folder under another spelling is still the source folder:
// nothing of the distribution is deleted to be copied onto itself.
TEST(Installation, IntoTheSourceFolderUnderAnotherSpellingKeepsTheDistribution) {
  for (const Str& spelling : {Str(u"dist\\."), Str(u"dist\\\\"), Str(u"x\\..\\dist\\"), Str(u"DIST\\.\\")}) {
    SCOPED_TRACE(toUtf8(spelling));
    InstallerCase c;
    ASSERT_TRUE(files::forceDirectories(c.scratch() + u"x").ok());
    c.w().act("set FSetup.EFolder " + toUtf8(c.scratch() + spelling));
    c.install();
    for (const auto& [name, bytes] : test::standardDistribution()) {
      SCOPED_TRACE(toUtf8(name));
      ASSERT_TRUE(test::exists(c.dist() + name));
      EXPECT_EQ(test::readTestFile(c.dist() + name), bytes);
    }
    EXPECT_FALSE(FSetup->Fehler);
  }
}

// Two installations in one run: each one's shortcuts start the program in
// its own folder, whatever the component held from the one before.
TEST(Installation, SecondInstallationInOneRunHasShortcutsOfItsOwn) {
  InstallerCase c;
  const Str first = c.scratch() + u"A\\";
  const Str second = c.scratch() + u"B\\";
  c.w().act("set FSetup.EFolder " + toUtf8(first));
  c.install();
  // As an uninstallation leaves it after reading an old shortcut.
  FSetup->ShellLink->Arguments = u"-old";
  FSetup->ShellLink->HotKey = 0x0141;
  c.w().act("set FSetup.EFolder " + toUtf8(second));
  c.install();
  for (const Str& link : {c.desktopShortcut(), c.startMenuShortcut(), second + u"OrvelDraw.lnk"}) {
    expectShortcutToTheApplication(link, second);
    TShellLink read;
    read.LinkFile = link;
    read.Read();
    EXPECT_EQ(read.Arguments, u"");
    EXPECT_EQ(read.HotKey, 0);
  }
  expectShortcutToTheApplication(first + u"OrvelDraw.lnk", first);
}

// The runs that stop before the log window opens: an empty folder field, an
// installation folder or a user folder that cannot be made. Each shows its
// error box, writes nothing, and leaves the log with its folder lines only.
TEST(Installation, StopsBeforeTheLogWindowWhenAFolderIsMissing) {
  // "<s>" stands for the case's scratch folder, "<t>" for its installation folder.
  struct Case {
    const char* name;
    bool ini;
    Str folder;
    Str userFolder;
    Str message;
    std::vector<Str> log;
  };
  const Case cases[] = {
      {"1 empty folder field", false, u"", u"", u"Bitte Installationsordner angeben.",
       {u"directory already exists: \\"}},
      {"2 folder below a file", false, u"<s>blocker\\OrvelDraw", u"",
       u"Installationsordner <s>blocker\\OrvelDraw\\ existiert nicht.",
       {u"create directory: <s>blocker\\OrvelDraw\\"}},
      {"3 user folder below a file", true, u"<t>", u"<s>blocker\\Settings",
       u"Bitte Ordner zur Speicherung benutzerspezifischer Dateien angeben.",
       {u"create directory: <t>", u"create directory: <s>blocker\\Settings\\"}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    InstallerCase c;
    test::writeTestFile(c.scratch() + u"blocker", "a file, not a folder");
    auto fill = [&](const Str& text) { return ReplaceAll(ReplaceAll(text, u"<t>", c.target()), u"<s>", c.scratch()); };
    if (row.ini) {
      c.w().act("select FSetup.RGRegOrIni 1");
      c.w().act("set FSetup.EUserfolder " + toUtf8(fill(row.userFolder)));
    }
    c.w().act("set FSetup.EFolder " + toUtf8(fill(row.folder)));
    EXPECT_EQ(c.install(), std::vector<std::string>{errorBox(fill(row.message))});
    std::vector<Str> log;
    for (const Str& line : row.log) log.push_back(fill(line));
    EXPECT_EQ(c.logLines(), log);
    EXPECT_FALSE(FMemo->visible());
    EXPECT_FALSE(test::exists(c.target() + u"OrvelDraw.exe"));
    EXPECT_FALSE(test::exists(c.desktopShortcut()));
    EXPECT_EQ(FMemo->Installation, 2);
  }
}

// A read-only OrvelDraw.exe in the installation folder cannot be replaced:
// two error boxes, the log emptied, nothing else done, nothing to start.
TEST(Installation, ReadOnlyApplicationInTheWayStopsTheRun) {
  InstallerCase c;
  const Str app = c.target() + u"OrvelDraw.exe";
  test::writeTestFile(app, "an old version");
  ASSERT_TRUE(files::setAttributes(app, files::kReadOnly).ok());
  EXPECT_EQ(c.install(), (std::vector<std::string>{
                             kLogShown,
                             errorBox(u"\"" + app + u"\" kann nicht gelöscht werden."),
                             errorBox(u"Fehler beim Kopieren nach \"" + c.target() + u"\""),
                         }));
  EXPECT_TRUE(FMemo->MInstallation->lines().empty());
  EXPECT_TRUE(FSetup->Fehler);
  EXPECT_EQ(FMemo->Installation, 2);
  EXPECT_EQ(test::readTestFile(app), "an old version");
  EXPECT_FALSE(test::folderExists(c.target() + u"languages"));
  EXPECT_FALSE(test::exists(c.target() + u"install.txt"));
  EXPECT_FALSE(test::exists(c.desktopShortcut()));
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel"));

  // Once the file may be replaced, the next run in the same process succeeds.
  ASSERT_TRUE(files::setAttributes(app, 0).ok());
  EXPECT_EQ(c.install(), std::vector<std::string>{});
  EXPECT_FALSE(FSetup->Fehler);
  EXPECT_EQ(test::readTestFile(app), "the application");
  EXPECT_EQ(FMemo->Installation, 0);
}

// A distribution without Setup.exe or styles: the copy error is logged, the
// run goes on to its end, and the application is not started afterwards.
TEST(Installation, MissingSetupProgramIsLoggedAndTheRunGoesOn) {
  test::FileSet distribution = test::standardDistribution();
  distribution.erase(u"Setup.exe");
  distribution.erase(u"styles\\dark.css");
  distribution.erase(u"styles\\more\\deep.css");
  InstallerCase c({}, distribution);
  EXPECT_EQ(c.install(), std::vector<std::string>{kLogShown});
  const std::vector<Str> log = c.logLines();
  const Str copyLine = u"Kopiere " + c.dist() + u"Setup.exe nach " + c.target() + u"Setup.exe";
  auto at = std::find(log.begin(), log.end(), copyLine);
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  EXPECT_EQ(at[1], u"Fehler beim Kopieren nach \"" + c.target() + u"Setup.exe\"");
  for (const Str& line : log) EXPECT_EQ(line.find(u"styles"), Str::npos) << toUtf8(line);
  EXPECT_FALSE(test::folderExists(c.target() + u"styles"));
  EXPECT_EQ(test::readTestFile(c.target() + u"install.txt"), test::installLogBytes(log));
  EXPECT_TRUE(test::exists(c.desktopShortcut()));
  EXPECT_TRUE(FSetup->Fehler);
  EXPECT_EQ(FMemo->Installation, 2);
}

// Without administrator rights the user is asked first; "&Nein" leaves the
// machine untouched, "&Ja" installs. A portable installation never asks.
TEST(Installation, EmulatedOnly_NonAdministratorIsAskedFirst) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a user without administrator rights";
  const std::string question =
      "msgbox warning \"Warnung\" \"Keine Administorrechte. Fortsetzen?\" \"&Ja\",\"&Nein\" -> ";
  {
    InstallerCase c(test::MachineIni{{"Machine.Administrator", "0"}});
    EXPECT_EQ(c.install("answer &Nein\n"), std::vector<std::string>{question + "\"&Nein\""});
    EXPECT_TRUE(c.logLines().empty());
    EXPECT_FALSE(test::folderExists(c.target()));
    EXPECT_FALSE(FMemo->visible());
  }
  {
    InstallerCase c(test::MachineIni{{"Machine.Administrator", "0"}});
    c.w().act("select FSetup.RGRegOrIni 1");
    c.w().act("set FSetup.EUserfolder " + toUtf8(c.scratch() + u"Settings"));
    EXPECT_EQ(c.install("answer &Ja\n"), (std::vector<std::string>{question + "\"&Ja\"", kLogShown}));
    expectCopied(c, kInstalledFiles);
    EXPECT_TRUE(test::exists(c.target() + u"ODMachine.INI"));
    EXPECT_EQ(FMemo->Installation, 0);
  }
  {
    InstallerCase c(test::MachineIni{{"Machine.Administrator", "0"}});
    c.w().act("check FSetup.CBPortableApplication");
    EXPECT_EQ(c.install(), std::vector<std::string>{kLogShown});
    EXPECT_TRUE(test::folderExists(c.target() + u"App\\Cache"));
    EXPECT_TRUE(test::folderExists(c.target() + u"Data"));
    EXPECT_EQ(FMemo->Installation, 0);
  }
}

// Without the all-users folders the shortcuts go to the user's own desktop
// and Start menu; the Programs folder there is made when it is missing.
TEST(Installation, EmulatedOnly_WithoutAllUsersFoldersTheUsersOwnAreUsed) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a machine without the all-users folders";
  InstallerCase c(test::MachineIni{{"Folders.CommonDesktop", ""}, {"Folders.CommonStartMenu", ""}});
  EXPECT_EQ(FSetup->DesktopVerzeichnis, GetSpecialFolder(shell::kCsidlDesktopDirectory) + u"\\");
  EXPECT_EQ(FSetup->StartmenueProgrammeVerzeichnis, GetSpecialFolder(shell::kCsidlStartMenu) + u"\\Programs\\");
  ASSERT_FALSE(test::folderExists(FSetup->StartmenueProgrammeVerzeichnis));
  c.install();
  expectShortcutToTheApplication(c.desktopShortcut(), c.target());
  expectShortcutToTheApplication(c.startMenuShortcut(), c.target());
}

}  // namespace
}  // namespace orvel
