// Failures that only the emulated machine can stage: a platform call made to
// fail through its failure seam, and what the program then keeps.
#include <gtest/gtest.h>

#include "machine/fault_injection.h"
#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using posix::faults::Plan;
using posix::faults::ScopedPlan;
using test::readTestFile;
using test::registryValue;
using test::UpdateTest;
using test::writeTestFile;

using InjectedFailure = UpdateTest;

const Str& kMachineKey = test::kProgramKey;
const Str& kUserKey = test::kProgramKey;

// A machine INI file that is there but cannot be read (no permission) is not
// taken for an empty one: neither registry mode nor FixUpdate writes over it.
TEST_F(InjectedFailure, EmulatedOnly_MachineIniThatCannotBeReadIsNotOverwritten) {
  const Str ini = machine_.scratch() + u"ODMachine.INI";
  const std::string before = "[User]\r\nHomeDir=Data\r\n[Orvel]\r\nLanguage=x\r\n[Program]\r\nUpdate=3\r\nNextUpdate=4\r\n";
  const std::vector<std::vector<Str>> runs = {
      {u"C:\\Orvel\\Setup.exe", u"-Registry", test::kExampleSettingsList, u"-INI", ini},
      UpdateArgs(u"", u"", u"", {u"-INI", ini}),
  };
  for (const std::vector<Str>& args : runs) {
    SCOPED_TRACE(toUtf8(args[1]));
    writeTestFile(ini, before);
    {
      ScopedPlan unreadable(Plan{"files.readFile", 1, err::kAccessDenied});
      ASSERT_EQ(Run(args), std::nullopt);
      EXPECT_EQ(posix::faults::failedCall(), "files.readFile");
    }
    EXPECT_EQ(readTestFile(ini), before);
  }
}

// The values reach the user's key before they leave the machine's: a write
// below HKEY_CURRENT_USER that fails shows its message and loses nothing.
TEST_F(InjectedFailure, EmulatedOnly_FixUpdateKeepsTheMachineValuesWhenTheUserWriteFails) {
  test::seedValue(reg::Root::LocalMachine, kMachineKey, u"Update", reg::makeDword(5));
  test::seedValue(reg::Root::LocalMachine, kMachineKey, u"NextUpdate", reg::makeDword(7));
  w().take();
  {
    ScopedPlan denied(Plan{"registry.setValue", 1, err::kAccessDenied});
    ASSERT_EQ(Run(UpdateArgs(u"", u"", u"")), std::nullopt);
  }
  EXPECT_EQ(w().take().size(), 1u);  // the message box of the failed write
  EXPECT_TRUE(registryValue(reg::Root::LocalMachine, kMachineKey, u"Update"));
  EXPECT_TRUE(registryValue(reg::Root::LocalMachine, kMachineKey, u"NextUpdate"));
  // The next run moves them.
  ASSERT_EQ(Run(UpdateArgs(u"", u"", u"")), std::nullopt);
  EXPECT_FALSE(registryValue(reg::Root::LocalMachine, kMachineKey, u"Update"));
  EXPECT_EQ(reg::dwordOf(*registryValue(reg::Root::CurrentUser, kUserKey, u"Update")), 5u);
  EXPECT_EQ(reg::dwordOf(*registryValue(reg::Root::CurrentUser, kUserKey, u"NextUpdate")), 7u);
}

}  // namespace
}  // namespace orvel
