// FixUpdate: "Update" and "NextUpdate" move from the machine-wide to the
// per-user key in registry storage, and leave the machine INI file in INI
// storage. Run through MakeUpdate with an empty destination, which copies nothing.
#include <gtest/gtest.h>

#include "tests/support/update_fixture.h"

namespace orvel {
namespace {

using test::readTestFile;
using test::registryValue;
using test::UpdateTest;
using test::writeTestFile;

using FixUpdateTest = UpdateTest;

const Str& kMachineKey = test::kProgramKey;
const Str& kUserKey = test::kProgramKey;

void Seed(const Str& name, const reg::Value& value) {
  test::seedValue(reg::Root::LocalMachine, kMachineKey, name, value);
}

std::optional<int32_t> Dword(reg::Root root, const Str& key, const Str& name) {
  auto value = registryValue(root, key, name);
  if (!value || value->type != reg::kDword) return std::nullopt;
  return static_cast<int32_t>(reg::dwordOf(*value));
}

// Both values move; the machine-wide key keeps its other values.
TEST_F(FixUpdateTest, RegistryValuesMoveToTheUser) {
  Seed(u"Update", reg::makeDword(5));
  Seed(u"NextUpdate", reg::makeDword(7));
  Seed(u"Other", reg::makeDword(9));
  ASSERT_EQ(Run(UpdateArgs(u"", u"", u"")), std::nullopt);
  EXPECT_EQ(Dword(reg::Root::CurrentUser, kUserKey, u"Update"), 5);
  EXPECT_EQ(Dword(reg::Root::CurrentUser, kUserKey, u"NextUpdate"), 7);
  EXPECT_FALSE(registryValue(reg::Root::LocalMachine, kMachineKey, u"Update"));
  EXPECT_FALSE(registryValue(reg::Root::LocalMachine, kMachineKey, u"NextUpdate"));
  EXPECT_EQ(Dword(reg::Root::LocalMachine, kMachineKey, u"Other"), 9);
  EXPECT_TRUE(w().take().empty());  // no message box
}

// Nothing to move: the per-user key is made anyway, with no values.
TEST_F(FixUpdateTest, UserKeyIsCreatedEvenWithNothingToMove) {
  ASSERT_EQ(Run(UpdateArgs(u"", u"", u"")), std::nullopt);
  EXPECT_TRUE(test::keyExists(reg::Root::CurrentUser, kUserKey));
  EXPECT_FALSE(registryValue(reg::Root::CurrentUser, kUserKey, u"Update"));
  EXPECT_FALSE(test::keyExists(reg::Root::LocalMachine, kMachineKey));
}

// -1 is removed but not written; a value of another type is neither read nor removed.
TEST_F(FixUpdateTest, MinusOneAndOtherTypesAreNotMoved) {
  Seed(u"Update", reg::makeDword(static_cast<uint32_t>(-1)));
  Seed(u"NextUpdate", reg::makeString(u"12"));
  ASSERT_EQ(Run(UpdateArgs(u"", u"", u"")), std::nullopt);
  EXPECT_FALSE(registryValue(reg::Root::LocalMachine, kMachineKey, u"Update"));
  EXPECT_FALSE(registryValue(reg::Root::CurrentUser, kUserKey, u"Update"));
  EXPECT_TRUE(registryValue(reg::Root::LocalMachine, kMachineKey, u"NextUpdate"));
  EXPECT_FALSE(registryValue(reg::Root::CurrentUser, kUserKey, u"NextUpdate"));
}

// INI storage: both entries go when "Update" holds a number other than -1;
// otherwise the file stays as it is, byte for byte.
TEST_F(FixUpdateTest, IniEntriesRemovedByTheRules) {
  struct Row {
    std::string program;  // the [Program] section's entries
    std::string after;    // the whole file afterwards; empty: unchanged
  };
  const Row rows[] = {
      {"NextUpdate=4\r\n", ""},                      // 1 no Update
      {"Update=-1\r\nNextUpdate=4\r\n", ""},         // 2
      {"Update=bald\r\nNextUpdate=4\r\n", ""},       // 3 not a number
      {"Update=3\r\n", "[Orvel]\r\nLanguage=x\r\n\r\n[Program]\r\nKeep=1\r\n"},  // 4 no NextUpdate
      {"Update=0x10\r\nNextUpdate=4\r\n", "[Orvel]\r\nLanguage=x\r\n\r\n[Program]\r\nKeep=1\r\n"},  // 5
      {"Update=$10\r\nNextUpdate=4\r\n", ""},        // 6 not an INI number
      {"Update=x10\r\nNextUpdate=4\r\n", ""},        // 7
  };
  for (size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE("row " + std::to_string(r + 1));
    const Str ini = machine_.scratch() + u"ODMachine" + fromUtf8(std::to_string(r + 1)) + u".INI";
    const std::string before = "[Orvel]\r\nLanguage=x\r\n[Program]\r\n" + rows[r].program + "Keep=1\r\n";
    writeTestFile(ini, before);
    ASSERT_EQ(Run(UpdateArgs(u"", u"", u"", {u"-INI", ini})), std::nullopt);
    EXPECT_EQ(readTestFile(ini), rows[r].after.empty() ? before : rows[r].after);
  }
  EXPECT_FALSE(test::keyExists(reg::Root::CurrentUser, kUserKey));  // INI storage leaves the registry
}

}  // namespace
}  // namespace orvel
