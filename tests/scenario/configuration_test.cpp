// The configuration an installation leaves: the relative paths of a
// portable installation, a machine INI file that holds only the entries of
// the last installation, and what happens when neither the INI file nor the
// registry can be written.
#include <gtest/gtest.h>

#include "gui/script/scripted_gui.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using test::InstallerCase;
using test::TestMachine;

TEST(Configuration, UnPortAppMakesPathsOnTheInstallationsDriveRelative) {
  struct Row {
    const char16_t* nachDir;
    const char16_t* path;
    const char16_t* written;
  };
  const Row rows[] = {
      {u"E:\\OrvelDraw\\", u"E:\\OrvelDraw\\Data\\", u"Data"},                                    // 1
      {u"E:\\OrvelDraw\\", u"e:\\orveldraw\\languages\\english.ini", u"languages\\english.ini"},  // 2 any case
      {u"E:\\OrvelDraw\\", u"E:\\OrvelDraw\\", u""},                                              // 3
      {u"E:\\OrvelDraw\\", u"C:\\Setup\\languages\\english.ini", u"C:\\Setup\\languages\\english.ini"},  // 4
      {u"E:\\Apps\\OrvelDraw\\", u"E:\\Lang\\de.ini", u"..\\..\\Lang\\de.ini"},                    // 5
      {u"E:\\Apps\\OrvelDraw\\", u"E:\\Apps", u".."},                                              // 6
      {u"\\\\srv\\share\\Apps\\", u"\\\\srv\\share\\Apps\\Data\\", u"Data"},                       // 7 a share
      {u"E:\\OrvelDraw\\", u"", u""},                                                              // 8
  };
  TestMachine machine;
  test::ScriptedWindows w;
  FSetup->CBPortableApplication->setChecked(true);
  for (size_t i = 0; i < std::size(rows); ++i) {
    FSetup->NachDir = rows[i].nachDir;
    EXPECT_EQ(FSetup->UnPortApp(rows[i].path), rows[i].written) << "row " << i + 1;
  }
  FSetup->CBPortableApplication->setChecked(false);
  FSetup->NachDir = u"E:\\OrvelDraw\\";
  EXPECT_EQ(FSetup->UnPortApp(u"E:\\OrvelDraw\\Data\\"), u"E:\\OrvelDraw\\Data\\");
}

// Installing again in INI mode empties the old machine INI file first.
TEST(Configuration, AnotherInstallationLeavesOnlyItsOwnEntries) {
  InstallerCase c;
  test::writeTestFile(c.target() + u"ODMachine.INI",
                      "[Program]\r\nUpdate=1\r\n[User]\r\nHomeDir=C:\\old\\\r\nName=x\r\n");
  c.w().act("select FSetup.RGRegOrIni 1");
  c.w().act("set FSetup.EUserfolder " + toUtf8(c.scratch() + u"Settings\\"));
  c.install();
  EXPECT_EQ(test::readTestFile(c.target() + u"ODMachine.INI"),
            "[User]\r\nHomeDir=" + sys::encode(c.scratch(), sys::ansiCodePage()) +
                "Settings\\\r\n[Orvel]\r\nLanguage=\r\nPortableApplication=0\r\n");
}

// A machine INI file that cannot be written (a folder of that name stands in
// the way): the box that it cannot be made, then the error that ends the
// installation before install.txt; the application is not started.
TEST(Configuration, MachineIniThatCannotBeWrittenEndsTheInstallation) {
  InstallerCase c;
  const Str ini = c.target() + u"ODMachine.INI";
  ASSERT_TRUE(files::forceDirectories(ini + u"\\").ok());
  c.w().act("check FSetup.CBPortableApplication");
  const std::vector<std::string> shown = c.install();
  EXPECT_EQ(shown, (std::vector<std::string>{
                       "show FMemo \"Installation\"",
                       "msgbox error \"Fehler\" " +
                           gui::quoteForTranscript(u"Die Konfigurationsdatei " + ini + u" konnte nicht erzeugt werden!") +
                           " \"OK\" -> \"OK\" (default)",
                       "msgbox error \"Setup\" " +
                           gui::quoteForTranscript(u"In " + ini + u" kann nicht geschrieben werden.") +
                           " \"OK\" -> \"OK\" (default)",
                   }));
  const std::vector<Str> log = c.logLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], u"Erzeuge Konfigurationsdatei " + ini);
  EXPECT_EQ(log[log.size() - 2], u"Die Konfigurationsdatei " + ini + u" konnte nicht erzeugt werden!");
  EXPECT_EQ(log.back(), u"Speichere darin " + c.target() + u"Data\\");
  EXPECT_FALSE(test::exists(c.target() + u"install.txt"));
  EXPECT_EQ(FMemo->Installation, 2);
}

// The registry values cannot be written without administrator rights: no
// message, no log line for them, and the installation ends as usual.
TEST(Configuration, EmulatedOnly_RegistryThatCannotBeWrittenIsPassedOverSilently) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a user without administrator rights";
  InstallerCase c(test::MachineIni{{"Machine.Administrator", "0"}});
  FSetup->Sprachdatei = c.dist() + u"languages\\english.ini";
  const std::vector<std::string> shown = c.install("answer &Ja\n");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "show FMemo \"Installation\"");
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Orvel"));
  const std::vector<Str> log = c.logLines();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], u"Erzeuge zusätzliche Desktop-Verknüpfung für den Orvel-Draw im Ordner " + c.target());
  EXPECT_EQ(log.back(), u"Speichere Installationsablauf in " + c.target() + u"install.txt");
  EXPECT_EQ(FMemo->Installation, 0);
}

}  // namespace
}  // namespace orvel
