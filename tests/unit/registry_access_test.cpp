// The registry access object: how paths resolve against the root and the open
// key, what reads raise, and deleting a key with its subkeys.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "common/error.h"
#include "common/registry_access.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

std::optional<Str> ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.message();
  }
  return std::nullopt;
}

class RegistryAccessTest : public testing::Test {
 protected:
  RegistryAccessTest() { registry_.SetRootKey(reg::Root::LocalMachine); }
  test::TestMachine machine_;
  RegistryAccess registry_;
};

// "\" paths start at the root, others below the open key; a failed open keeps the key.
TEST_F(RegistryAccessTest, PathsResolveAgainstRootOrOpenKey) {
  ASSERT_TRUE(registry_.OpenKey(u"\\Software\\OrvelDraw", true));
  ASSERT_TRUE(registry_.OpenKey(u"Program", true));  // below the open key
  registry_.WriteString(u"A", u"1");
  EXPECT_FALSE(registry_.OpenKey(u"\\Software\\OrvelDraw\\Missing", false));
  EXPECT_TRUE(registry_.ValueExists(u"A"));  // still Software\OrvelDraw\Program
  ASSERT_TRUE(registry_.OpenKey(u"\\Software\\OrvelDraw", false));
  EXPECT_EQ(registry_.GetKeyNames(), (std::vector<Str>{u"Program"}));
  EXPECT_FALSE(registry_.ValueExists(u"A"));
}

// Another root closes the open key; the same root keeps it.
TEST_F(RegistryAccessTest, ChangingTheRootClosesTheKey) {
  ASSERT_TRUE(registry_.OpenKey(u"\\Software\\OrvelDraw\\Program", true));
  registry_.SetRootKey(reg::Root::LocalMachine);
  EXPECT_TRUE(registry_.HasOpenKey());
  registry_.SetRootKey(reg::Root::CurrentUser);
  EXPECT_FALSE(registry_.HasOpenKey());
  // Relative to the root now that no key is open.
  ASSERT_TRUE(registry_.OpenKey(u"Software\\OrvelDraw\\Program", true));
  registry_.WriteInteger(u"Update", -1);
  EXPECT_EQ(registry_.ReadInteger(u"Update"), -1);
  EXPECT_EQ(registry_.GetValueNames(), (std::vector<Str>{u"Update"}));
  EXPECT_TRUE(registry_.DeleteValue(u"Update"));
  EXPECT_FALSE(registry_.DeleteValue(u"Update"));
}

TEST_F(RegistryAccessTest, ReadsRaiseTheFrameworksErrors) {
  ASSERT_TRUE(registry_.OpenKey(u"\\Software\\OrvelDraw\\Program", true));
  registry_.WriteString(u"S", u"text");
  registry_.WriteInteger(u"D", 7);
  EXPECT_EQ(registry_.ReadString(u"Missing"), u"");
  EXPECT_EQ(ErrorOf([&] { registry_.ReadInteger(u"Missing"); }), u"Fehler beim Holen der Daten für 'Missing'");
  EXPECT_EQ(ErrorOf([&] { registry_.ReadInteger(u"S"); }), u"Ungültiger Datentyp für 'S'");
  EXPECT_EQ(ErrorOf([&] { registry_.ReadString(u"D"); }), u"Ungültiger Datentyp für 'D'");
  registry_.CloseKey();
  EXPECT_FALSE(registry_.ValueExists(u"S"));
  EXPECT_EQ(ErrorOf([&] { registry_.WriteString(u"S", u"x"); }), u"Fehler beim Setzen der Daten für 'S'");
}

// DeleteKey removes the key with everything below it; the open key stays open.
TEST_F(RegistryAccessTest, DeleteKeyRemovesTheWholeTree) {
  for (const Str path : {u"\\Software\\OrvelDraw\\A\\B\\C", u"\\Software\\OrvelDraw\\A\\D"}) {
    ASSERT_TRUE(registry_.OpenKey(path, true));
    registry_.WriteString(u"v", u"1");
  }
  ASSERT_TRUE(registry_.OpenKey(u"\\Software\\OrvelDraw", false));
  EXPECT_TRUE(registry_.DeleteKey(u"A"));  // relative to the open key
  EXPECT_TRUE(registry_.GetKeyNames().empty());
  EXPECT_TRUE(registry_.HasOpenKey());
  EXPECT_FALSE(registry_.DeleteKey(u"\\Software\\OrvelDraw\\A"));
}

}  // namespace
}  // namespace orvel
