// The installation's entry in Apps & features: written by an installation
// that is not portable, rewritten by the next one into the same folder
// however spelled, removed by the uninstallation of that folder, and kept
// by the uninstallation of another folder while it still leads somewhere.
#include <gtest/gtest.h>

#include "common/fmx_utils.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using test::InstallerCase;
using test::kAppsEntryKey;

std::optional<reg::Value> entryValue(const Str& name) {
  return test::registryValue(reg::Root::LocalMachine, kAppsEntryKey, name);
}

Str entryString(const Str& name) {
  auto value = entryValue(name);
  if (!value) return u"<missing>";
  EXPECT_EQ(value->type, reg::kSz) << toUtf8(name);
  return reg::stringOf(*value);
}

uint32_t entryDword(const Str& name) {
  auto value = entryValue(name);
  if (!value) return 0xDEADBEEF;
  EXPECT_EQ(value->type, reg::kDword) << toUtf8(name);
  return reg::dwordOf(*value);
}

bool entryExists() { return test::keyExists(reg::Root::LocalMachine, kAppsEntryKey); }

// A Setup.exe of 300,000 bytes, so that the size the entry gives shows.
test::FileSet bigSetupDistribution() {
  test::FileSet files = test::standardDistribution();
  files[u"Setup.exe"] = std::string(300000, 'S');
  return files;
}

// Registry installation: every value of the entry, its line in the log and
// in install.txt; a second installation into the same folder typed in
// other letters updates the one entry; the installed copy's uninstallation
// removes it.
TEST(AppsRegistration, ListsTheInstallationUntilItsUninstallation) {
  InstallerCase c({}, bigSetupDistribution());
  c.install();
  const Str setup = c.target() + u"Setup.exe";
  EXPECT_EQ(entryString(u"DisplayName"), u"Orvel-Draw");
  EXPECT_NE(entryString(u"DisplayVersion"), u"");
  EXPECT_NE(entryString(u"Publisher"), u"");
  EXPECT_EQ(entryString(u"DisplayIcon"), setup);
  EXPECT_EQ(entryString(u"InstallLocation"), c.target());
  EXPECT_EQ(entryString(u"UninstallString"), u"\"" + setup + u"\"");
  EXPECT_EQ(entryDword(u"NoModify"), 1u);
  EXPECT_EQ(entryDword(u"NoRepair"), 1u);
  // KiB rounded up: the two programs, the data files and the shortcut.
  const uint32_t kib = entryDword(u"EstimatedSize");
  EXPECT_GE(kib, 293u);
  EXPECT_LE(kib, 300u);
  const std::vector<Str> log = c.logLines();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], test::appsEntryLine());
  EXPECT_NE(test::readTestFile(c.target() + u"install.txt").find("\r\nErzeuge Eintrag in Apps & Features HKEY_"),
            std::string::npos);

  // The same folder in capitals: still one entry, now naming that spelling.
  Str shouted = c.target();
  for (char16_t& ch : shouted)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
  c.w().act("set FSetup.EFolder " + toUtf8(shouted));
  c.install();
  EXPECT_EQ(entryString(u"InstallLocation"), shouted);
  EXPECT_EQ(entryString(u"UninstallString"), u"\"" + shouted + u"Setup.exe\"");

  c.start(setup);
  c.uninstall();
  EXPECT_FALSE(entryExists());
}

// Two installations: the entry names the later one. Uninstalling the
// earlier one leaves it; once the later folder has lost its Setup.exe the
// entry leads nowhere, and the next uninstallation takes it away.
TEST(AppsRegistration, AnEntryOfAnotherFolderStaysWhileItLeadsSomewhere) {
  InstallerCase c;
  c.install();
  const Str first = c.target();
  const Str second = c.scratch() + u"Zweite Installation\\";
  c.w().act("set FSetup.EFolder " + toUtf8(second));
  c.install();
  ASSERT_EQ(entryString(u"InstallLocation"), second);

  c.start(first + u"Setup.exe");
  c.uninstall();
  EXPECT_EQ(entryString(u"InstallLocation"), second) << "the later installation still works";

  ASSERT_TRUE(files::deleteFile(second + u"Setup.exe"));
  c.start(c.dist() + u"Setup.exe");
  c.uninstall();
  EXPECT_FALSE(entryExists());
}

// A portable installation leaves no trace in the registry, and an
// installation whose Setup.exe could not be copied is not listed: its entry
// would start nothing.
TEST(AppsRegistration, NoEntryForAPortableInstallationOrOneWithoutItsSetupProgram) {
  {
    InstallerCase c;
    c.w().act("check FSetup.CBPortableApplication");
    c.install();
    EXPECT_TRUE(test::exists(c.target() + u"Setup.exe"));
    EXPECT_FALSE(entryExists());
    for (const Str& line : c.logLines()) EXPECT_EQ(line.find(u"Apps & Features"), Str::npos) << toUtf8(line);
  }
  test::FileSet withoutSetup = test::standardDistribution();
  withoutSetup.erase(u"Setup.exe");
  InstallerCase c({}, withoutSetup);
  c.install();
  EXPECT_FALSE(test::exists(c.target() + u"Setup.exe"));
  EXPECT_FALSE(entryExists());
}

}  // namespace
}  // namespace orvel
