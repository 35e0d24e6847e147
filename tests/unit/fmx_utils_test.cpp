// The utility routines that wrap one platform service each.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/fmx_utils.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::TestMachine;
using MachineIni = std::map<std::string, std::string>;

// Only the primary language (low byte) chooses the file; German means none.
TEST(FmxUtils, EmulatedOnly_DefaultLanguageFileByPrimaryLanguage) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "the language id is set through machine.ini";
  struct Row {
    const char* langId;
    Str file;
  };
  const std::vector<Row> rows = {
      {"0x0807", u""},             // 1 German (Switzerland): the folder itself
      {"0x0407", u""},             // 2 German
      {"0x0809", u"english.ini"},  // 3 English (United Kingdom)
      {"0x080A", u"espanol.ini"},  // 4 Spanish (Mexico)
      {"0x0813", u"dutch.ini"},    // 5 Dutch (Belgium)
      {"0x040C", u"english.ini"},  // 6 French: the fallback
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    TestMachine machine(MachineIni{{"Machine.LangId", rows[i].langId}});
    EXPECT_EQ(DefaultLanguageFile(), ProgramFolder() + u"languages\\" + rows[i].file) << "row " << i + 1;
  }
}

TEST(FmxUtils, ProgramFolderIsTheExecutablesFolder) {
  TestMachine machine;
  const Str folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), u'\\');
  EXPECT_EQ(folder, ExtractFilePath(sys::modulePath()));
  EXPECT_TRUE(files::directoryExists(folder));
}

TEST(FmxUtils, TempDirectoryEndsWithBackslashAndExists) {
  TestMachine machine;
  const Str temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_TRUE(files::directoryExists(temp));
}

// A temporary path longer than the 255-character buffer is still answered in full.
TEST(FmxUtils, EmulatedOnly_LongTempPathIsNotCut) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "the temporary folder is set through machine.ini";
  const std::string longTemp = "C:\\" + std::string(300, 't') + "\\";
  TestMachine machine;
  // Set after the machine is made: the test machine itself asks with the short buffer.
  std::ofstream(machine.root() + "/machine.ini", std::ios::app) << "[Folders]\nTemp=" << longTemp << "\n";
  EXPECT_EQ(TempDirectory(), fromUtf8(longTemp));
}

TEST(FmxUtils, SpecialFolderHasNoTrailingSeparator) {
  TestMachine machine;
  for (int csidl : {shell::kCsidlProgramFiles, shell::kCsidlAppData, shell::kCsidlDesktopDirectory}) {
    const Str folder = GetSpecialFolder(csidl);
    ASSERT_FALSE(folder.empty()) << csidl;
    EXPECT_NE(folder.back(), u'\\') << csidl;
  }
}

TEST(FmxUtils, EmulatedOnly_MissingSpecialFolderIsEmpty) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a machine without an all-users desktop";
  TestMachine machine(MachineIni{{"Folders.CommonDesktop", ""}});
  EXPECT_EQ(GetSpecialFolder(shell::kCsidlCommonDesktopDirectory), u"");
}

// The test machine (and Wine's user) is an administrator.
TEST(FmxUtils, IsAdministratorForAnAdministrator) {
  TestMachine machine;
  EXPECT_TRUE(IsAdministrator());
}

TEST(FmxUtils, EmulatedOnly_IsAdministratorFalseForAUser) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "needs a non-administrator";
  TestMachine machine(MachineIni{{"Machine.Administrator", "0"}});
  EXPECT_FALSE(IsAdministrator());
}

// The texts reach the shell whole, also beyond 79 characters.
TEST(FmxUtils, EmulatedOnly_LaunchFilePassesTheTextsWhole) {
  if (!TestMachine::emulated()) GTEST_SKIP() << "reads the emulated shell log";
  TestMachine machine;
  const Str folder = machine.scratch() + Str(90, u'f') + u"\\";
  const Str parameters = u"-x " + Str(100, u'p');
  LaunchFile(folder + u"missing.exe", parameters, folder, shell::kSwShowNormal);
  const auto log = machine.shellLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(toUtf8(folder + u"missing.exe")), std::string::npos) << log[0];
  EXPECT_NE(log[0].find(toUtf8(parameters)), std::string::npos) << log[0];
}

}  // namespace
}  // namespace orvel
