// A fault of the program itself inside a step that goes on after a failed
// file, staged through the emulated machine's failure seam: it must not pass
// for a file that cannot be deleted.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/fmx_utils.h"
#include "common/format.h"
#include "common/log_window.h"
#include "gui/error.h"
#include "machine/fault_injection.h"
#include "tests/support/installer_fixture.h"

namespace orvel {
namespace {

using posix::faults::Plan;
using posix::faults::ScopedPlan;

// The deletion of the first language file fails. Refused by the machine, it
// is logged and the uninstallation goes on to its end; a programming error
// at the same call ends the uninstallation there, and its box says what it is.
TEST(RemovalFault, EmulatedOnly_AProgrammingErrorIsNotTakenForAFileThatCannotBeDeleted) {
  for (const bool programmingError : {false, true}) {
    SCOPED_TRACE(programmingError ? "programming error" : "access denied");
    test::InstallerCase c;
    c.install();
    c.start(c.target() + u"Setup.exe");
    const std::vector<Str> languages = test::listed(c.target() + u"languages\\*.ini");
    ASSERT_GE(languages.size(), 2u);
    const Str failing = c.target() + u"languages\\" + languages[0];
    std::vector<std::string> shown;
    {
      // The desktop shortcut and the Start-menu item are the two files deleted before.
      ScopedPlan plan(Plan{"files.deleteFile", 3, err::kAccessDenied, programmingError});
      shown = c.uninstall();
      ASSERT_EQ(posix::faults::failedCall(), "files.deleteFile");
    }
    const std::vector<Str> log = c.logLines();
    const auto logged = [&](const Str& line) { return std::find(log.begin(), log.end(), line) != log.end(); };
    EXPECT_TRUE(logged(u"Lösche Lösche " + failing));
    EXPECT_EQ(logged(Format(FSetup->LNGCanNotDelete, {failing})), !programmingError);
    // What follows the failing file: the other language files, the folder
    // (into the recycle bin with the file left in it), the program, the
    // keys, the batch file.
    EXPECT_EQ(test::exists(failing), programmingError);
    EXPECT_EQ(test::exists(c.target() + u"languages\\" + languages[1]), programmingError);
    EXPECT_EQ(test::exists(c.target() + u"OrvelDraw.exe"), programmingError);
    EXPECT_EQ(test::keyExists(reg::Root::LocalMachine, u"Software\\OrvelDraw"), programmingError);
    EXPECT_EQ(test::exists(TempDirectory() + u"RunOrvel.bat"), !programmingError);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "show FMemo \"Installation\"");
    if (programmingError) {
      ASSERT_EQ(shown.size(), 2u);
      EXPECT_EQ(shown[1].rfind("msgbox error ", 0), 0u) << shown[1];
      EXPECT_NE(shown[1].find("injected programming error"), std::string::npos)
          << shown[1];
    } else {
      EXPECT_EQ(shown.size(), 1u);
    }
  }
}

}  // namespace
}  // namespace orvel
