// The uninstallation through the setup window's button, run by the setup
// program that the installation copied (a new process after the
// installation): its log lines, and what it removes and leaves after each
// kind of installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/fmx_utils.h"
#include "gui/script/scripted_gui.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using test::InstallerCase;
using test::TestMachine;

const std::string kLogShown = "show FMemo \"Installation\"";

// The removal lines of the application's folders for the standard
// distribution installed into `dest`, in the order the system lists them.
std::vector<Str> folderRemovalLines(const Str& dest) {
  std::vector<Str> lines;
  for (const Str& name : test::listed(dest + u"languages\\*.ini")) lines.push_back(u"Lösche Lösche " + dest + u"languages\\" + name);
  for (const Str& name : test::listed(dest + u"templates\\*.ini")) lines.push_back(u"Lösche Lösche " + dest + u"templates\\" + name);
  for (const Str& name : test::listed(dest + u"styles\\*.*")) lines.push_back(u"Lösche Lösche " + dest + u"styles\\" + name);
  return lines;
}

// The names in the emulated machine's recycle bin, without the numbers that
// keep them apart.
std::vector<std::string> recycled(const TestMachine& machine) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(machine.root() + "/recycle-bin", error)) {
    const std::string name = entry.path().filename().string();
    names.push_back(name.substr(name.find('-') + 1));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// After an installation into the registry: the shortcuts (also the Start-menu
// item in the Programs folder itself), the application's files and folders
// and its keys go; Setup.exe and its folder stay for the batch file.
TEST(Uninstallation, AfterARegistryInstallationRemovesAllButTheSetupProgram) {
  InstallerCase c;
  c.install();
  ASSERT_EQ(FMemo->Installation, 0);
  c.start(c.target() + u"Setup.exe");
  const std::vector<Str> folders = folderRemovalLines(c.target());
  EXPECT_EQ(c.uninstall(), std::vector<std::string>{kLogShown});

  std::vector<Str> log = {u"Lösche Desktop-Verknüpfung " + c.desktopShortcut(),
                          u"Lösche Eintrag ins Programme-Menü " + c.startMenuShortcut()};
  test::append(log, folders);
  test::append(log, {u"Lösche Desktop-Verknüpfung " + c.target() + u"OrvelDraw.lnk",
                     u"Lösche Installationsverlauf " + c.target() + u"install.txt",
                     u"Lösche Programm " + c.target() + u"OrvelDraw.exe", u"Lösche Registry-Einträge"});
  EXPECT_EQ(c.logLines(), log);

  EXPECT_EQ(test::listed(c.target() + u"*.*"), std::vector<Str>{u"Setup.exe"});
  for (const char16_t* folder : {u"languages", u"templates", u"styles"})
    EXPECT_FALSE(test::folderExists(c.target() + folder)) << toUtf8(folder);
  EXPECT_FALSE(test::exists(c.desktopShortcut()));
  EXPECT_FALSE(test::exists(c.startMenuShortcut()));
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, u"Software\\OrvelDraw"));
  EXPECT_TRUE(test::exists(TempDirectory() + u"RunOrvel.bat"));
  EXPECT_EQ(FSetup->NachDir, c.target());
  EXPECT_EQ(FMemo->Installation, 1);
  if (TestMachine::emulated()) {
    EXPECT_EQ(recycled(c.machine()), (std::vector<std::string>{"languages", "styles", "templates"}));
  }
}

// A distribution from read-only media installs a read-only Setup.exe: the
// uninstallation clears that, as for every file it removes, so that the
// batch file's "del" can delete it; the batch file stays as it always is.
TEST(Uninstallation, ReadOnlySetupProgramIsMadeDeletableForTheBatchFile) {
  InstallerCase c;
  ASSERT_TRUE(files::setAttributes(c.dist() + u"Setup.exe", files::kReadOnly).ok());
  c.install();
  ASSERT_TRUE(files::getAttributes(c.target() + u"Setup.exe") & files::kReadOnly);
  c.start(c.target() + u"Setup.exe");
  c.uninstall();
  EXPECT_FALSE(files::getAttributes(c.target() + u"Setup.exe") & files::kReadOnly);
  EXPECT_EQ(test::readTestFile(TempDirectory() + u"RunOrvel.bat").substr(0, 13), "echo on\r\n:1\r\n");
  (void)files::setAttributes(c.dist() + u"Setup.exe", 0);
}

// After an INI installation: the settings files in the user's folder (named
// with a placeholder) and the machine INI file go; the folder and anything
// else in it stay.
TEST(Uninstallation, AfterAnIniInstallationRemovesTheSettingsFiles) {
  InstallerCase c;
  c.w().act("select FSetup.RGRegOrIni 1");
  c.w().act("set FSetup.EUserfolder " + toUtf8(c.scratch() + u"Users\\%Username%\\Settings"));
  c.install();
  const Str settings = c.scratch() + u"Users\\" + FSetup->GetUsername() + u"\\Settings\\";
  for (const char16_t* name : {u"ODUser.ini", u"ODOrvelCol.ini", u"ODHTMLCol.ini", u"own notes.txt"})
    test::writeTestFile(settings + name, "settings");
  c.start(c.target() + u"Setup.exe");
  c.uninstall();

  const std::vector<Str> log = c.logLines();
  const std::vector<Str> settingsLines = {
      u"Lösche Konfigurationsdatei " + settings + u"ODUser.ini",
      u"Lösche Konfigurationsdatei " + settings + u"ODOrvelCol.ini",
      u"Lösche Konfigurationsdatei " + settings + u"ODHTMLCol.ini",
      u"Lösche Konfigurationsdatei " + c.target() + u"ODMachine.ini",
  };
  ASSERT_GE(log.size(), 2 + settingsLines.size());
  EXPECT_EQ(std::vector<Str>(log.begin() + 2, log.begin() + 2 + settingsLines.size()), settingsLines);
  EXPECT_EQ(test::listed(settings + u"*.*"), std::vector<Str>{u"own notes.txt"});
  EXPECT_EQ(test::listed(c.target() + u"*.*"), std::vector<Str>{u"Setup.exe"});
}

// After a portable installation: "HomeDir" is "Data", which the application
// reads beside ODMachine.INI, so the settings files there go, whatever the
// current folder of the process is. The portable folders stay.
TEST(Uninstallation, AfterAPortableInstallationFindsTheRelativeDataFolder) {
  InstallerCase c;
  c.w().act("check FSetup.CBPortableApplication");
  c.install();
  test::writeTestFile(c.target() + u"Data\\ODUser.ini", "settings");
  test::writeTestFile(c.target() + u"Data\\ODHTMLCol.ini", "settings");
  c.start(c.target() + u"Setup.exe");
  c.uninstall();
  const std::vector<Str> log = c.logLines();
  const std::vector<Str> expected = {
      u"Lösche Desktop-Verknüpfung " + c.desktopShortcut(),
      u"Lösche Eintrag ins Programme-Menü " + c.startMenuShortcut(),
      u"Lösche Konfigurationsdatei " + c.target() + u"Data\\ODUser.ini",
      u"Lösche Konfigurationsdatei " + c.target() + u"Data\\ODHTMLCol.ini",
      u"Lösche Konfigurationsdatei " + c.target() + u"ODMachine.ini",
  };
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<Str>(log.begin(), log.begin() + expected.size()), expected);
  EXPECT_FALSE(test::exists(c.target() + u"Data\\ODUser.ini"));
  for (const char16_t* folder : {u"Data", u"App\\Cache", u"App\\Temp", u"Orvel"})
    EXPECT_TRUE(test::folderExists(c.target() + folder)) << toUtf8(folder);
  EXPECT_TRUE(test::exists(c.target() + u"Setup.exe"));
}

// A file class that the association rewrite wrote below both the machine's
// and the user's classes is gone from both, and from the merged view; the
// extension keys and other keys stay.
TEST(Uninstallation, RemovesTheFileClassOfTheMachineAndOfTheUser) {
  InstallerCase c;
  const Str extension = u"Software\\Classes\\.orveltest";
  for (reg::Root root : {reg::Root::LocalMachine, reg::Root::CurrentUser}) {
    test::seedValue(root, u"Software\\Classes\\OrvelDraw\\shell\\open\\command", u"", reg::makeString(u"OrvelDraw.exe \"%1\""));
    test::seedValue(root, extension, u"", reg::makeString(u"OrvelDraw"));
    test::seedValue(root, test::kProgramKey, u"Update", reg::makeDword(1));
  }
  EXPECT_TRUE(test::keyExists(reg::Root::ClassesRoot, u"OrvelDraw"));

  c.uninstall();
  EXPECT_EQ(c.logLines().back(), u"Lösche Registry-Einträge");
  EXPECT_FALSE(test::keyExists(reg::Root::ClassesRoot, u"OrvelDraw"));
  for (reg::Root root : {reg::Root::LocalMachine, reg::Root::CurrentUser}) {
    EXPECT_FALSE(test::keyExists(root, u"Software\\Classes\\OrvelDraw"));
    EXPECT_FALSE(test::keyExists(root, u"Software\\OrvelDraw"));
    EXPECT_TRUE(test::keyExists(root, extension));
    (void)reg::deleteKey(root, extension);
  }
}

// Files in the way: a read-only program is deleted after its attribute is
// cleared; a file another process holds gets a second line; the old
// uninstaller's files are named without a description.
TEST(Uninstallation, ReadOnlyLockedAndUnknownFiles) {
  InstallerCase c;
  const Str program = c.dist() + u"OrvelDraw.exe";
  const Str log = c.dist() + u"install.txt";
  test::writeTestFile(log, "an old log");
  test::writeTestFile(c.dist() + u"unins000.dat", "x");
  test::writeTestFile(c.dist() + u"unins000.exe", "x");
  ASSERT_TRUE(files::setAttributes(program, files::kReadOnly).ok());
  auto lock = files::ExclusiveLock::acquire(log);
  ASSERT_TRUE(lock.has_value());
  c.uninstall();
  lock->release();

  std::vector<Str> tail = {
      u"Lösche Installationsverlauf " + log,
      u"\"" + log + u"\" kann nicht gelöscht werden.",
      u"Lösche Programm " + program,
      u"Lösche  " + c.dist() + u"unins000.dat",
      u"Lösche  " + c.dist() + u"unins000.exe",
      u"Lösche Registry-Einträge",
  };
  const std::vector<Str> lines = c.logLines();
  ASSERT_GE(lines.size(), tail.size());
  EXPECT_EQ(std::vector<Str>(lines.end() - tail.size(), lines.end()), tail);
  EXPECT_FALSE(test::exists(program));
  EXPECT_TRUE(test::exists(log));
  // A style in a subfolder has no line of its own but leaves with its folder.
  for (const Str& line : lines) EXPECT_EQ(line.find(u"deep.css"), Str::npos);
  EXPECT_FALSE(test::folderExists(c.dist() + u"styles"));
}

// Without a desktop shortcut the Start-menu item names the installation; run
// from another folder, the uninstallation removes the settings named there
// and the application files of its own folder.
TEST(Uninstallation, StartMenuItemLeadsToTheSettingsOfAnotherFolder) {
  InstallerCase c;
  c.w().act("select FSetup.RGRegOrIni 1");
  c.w().act("set FSetup.EUserfolder " + toUtf8(c.scratch() + u"Settings"));
  c.w().act("uncheck FSetup.CBDesktopSymbol");
  c.install();
  test::writeTestFile(c.scratch() + u"Settings\\ODUser.ini", "settings");
  c.start(c.dist() + u"Setup.exe");
  c.uninstall();
  const std::vector<Str> lines = c.logLines();
  const std::vector<Str> head = {
      u"Lösche Eintrag ins Programme-Menü " + c.startMenuShortcut(),
      u"Lösche Konfigurationsdatei " + c.scratch() + u"Settings\\ODUser.ini",
      u"Lösche Konfigurationsdatei " + c.target() + u"ODMachine.ini",
  };
  ASSERT_GE(lines.size(), head.size());
  EXPECT_EQ(std::vector<Str>(lines.begin(), lines.begin() + head.size()), head);
  EXPECT_TRUE(test::exists(c.target() + u"OrvelDraw.exe"));
  EXPECT_FALSE(test::exists(c.dist() + u"OrvelDraw.exe"));
  EXPECT_EQ(FSetup->NachDir, c.dist());
}

// A machine INI file without "HomeDir" leads to its own removal only.
TEST(Uninstallation, MachineIniWithoutHomeDirIsRemovedAlone) {
  InstallerCase c;
  test::writeTestFile(c.dist() + u"ODMachine.INI", "[Orvel]\r\nLanguage=\r\n");
  test::writeTestFile(c.dist() + u"ODUser.ini", "not named by the machine INI file");
  c.uninstall();
  const std::vector<Str> lines = c.logLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), u"Lösche Konfigurationsdatei " + c.dist() + u"ODMachine.ini");
  EXPECT_TRUE(test::exists(c.dist() + u"ODUser.ini"));
}

// Without administrator rights, "&Nein" removes nothing and shows no log.
TEST(Uninstallation, EmulatedOnly_NonAdministratorWhoSaysNoKeepsEverything) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a user without administrator rights";
  InstallerCase c(test::MachineIni{{"Machine.Administrator", "0"}});
  EXPECT_EQ(c.uninstall("answer &Nein\n"),
            std::vector<std::string>{
                "msgbox warning \"Warnung\" \"Keine Administorrechte. Fortsetzen?\" \"&Ja\",\"&Nein\" -> \"&Nein\""});
  EXPECT_FALSE(FMemo->visible());
  EXPECT_TRUE(c.logLines().empty());
  EXPECT_TRUE(test::exists(c.dist() + u"OrvelDraw.exe"));
  EXPECT_TRUE(test::folderExists(c.dist() + u"languages"));
  EXPECT_FALSE(test::exists(TempDirectory() + u"RunOrvel.bat"));
  EXPECT_EQ(FMemo->Installation, 2);
}

}  // namespace
}  // namespace orvel
