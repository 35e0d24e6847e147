// The Win32 registry service keeps the program's keys below
// HKEY_LOCAL_MACHINE in the 32-bit view, whatever the build's bitness, and
// leaves HKEY_CURRENT_USER alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/registry.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

// Reads a REG_SZ straight through advapi32 in the given view (KEY_WOW64_32KEY
// or KEY_WOW64_64KEY); nothing when the key or value is missing.
std::optional<std::wstring> readRaw(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return std::nullopt;
  wchar_t data[256] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  LONG code = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (code != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::wstring(data);
}

bool keyExists(HKEY root, const wchar_t* path, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void writeThroughService(reg::Root root, const Str& path, const Str& name, const Str& value) {
  reg::Key key;
  ASSERT_TRUE(reg::Key::open(root, path, reg::kKeyAllAccess, reg::Open::OrCreate, key));
  ASSERT_TRUE(key.setValue(name, reg::makeString(value)));
}

// A value written below HKLM\Software lands in the 32-bit view, which the
// 64-bit view shows as Software\Wow6432Node.
TEST(Win32RegistryView, LocalMachineValueLandsInThe32BitView) {
  test::TestMachine machine;
  writeThroughService(reg::Root::LocalMachine, u"Software\\OrvelDraw\\ViewTest", u"Probe", u"32-bit");

  EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw\\ViewTest", L"Probe", KEY_WOW64_32KEY),
            L"32-bit");
  EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\OrvelDraw\\ViewTest", L"Probe",
                    KEY_WOW64_64KEY),
            L"32-bit");
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", KEY_WOW64_64KEY));
}

// A key that only the 64-bit view holds is invisible to the service, also
// through a key opened below the root.
TEST(Win32RegistryView, SixtyFourBitKeyIsNotSeen) {
  test::TestMachine machine;
  HKEY raw;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw\\Only64", 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(raw);

  reg::Key key;
  EXPECT_EQ(reg::Key::open(reg::Root::LocalMachine, u"Software\\OrvelDraw\\Only64", reg::kKeyRead, reg::Open::Existing, key)
                .error,
            err::kFileNotFound);
  reg::Key software;
  ASSERT_TRUE(reg::Key::open(reg::Root::LocalMachine, u"Software", reg::kKeyRead, reg::Open::Existing, software));
  EXPECT_FALSE(reg::Key::open(software, u"OrvelDraw\\Only64", reg::kKeyRead, reg::Open::Existing, key));

  EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw\\Only64", KEY_WOW64_64KEY, 0),
            ERROR_SUCCESS);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", KEY_WOW64_64KEY, 0);
}

// Subkeys created and deleted through an open HKLM key stay in the 32-bit view.
TEST(Win32RegistryView, SubKeysOfAnOpenLocalMachineKeyStayInThe32BitView) {
  test::TestMachine machine;
  reg::Key parent;
  ASSERT_TRUE(reg::Key::open(reg::Root::LocalMachine, u"Software\\OrvelDraw", reg::kKeyAllAccess, reg::Open::OrCreate, parent));
  reg::Key child;
  ASSERT_TRUE(reg::Key::open(parent, u"Child", reg::kKeyAllAccess, reg::Open::OrCreate, child));
  child.close();

  EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\OrvelDraw\\Child", KEY_WOW64_64KEY));
  EXPECT_TRUE(parent.deleteSubKey(u"Child"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\OrvelDraw\\Child", KEY_WOW64_64KEY));
  EXPECT_TRUE(reg::deleteKey(reg::Root::LocalMachine, u"Software\\OrvelDraw"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", KEY_WOW64_32KEY));
}

// Software\Classes is shared between the views: the class keys that the
// 32-bit program writes lie in the one key that 64-bit programs (Explorer
// among them) read, also when reached through an open HKLM\Software key,
// and a deletion removes them there.
TEST(Win32RegistryView, ClassKeysLandInTheSharedClassesKey) {
  test::TestMachine machine;
  writeThroughService(reg::Root::LocalMachine, u"Software\\Classes\\OrvelDraw\\DefaultIcon", u"", u"C:\\Orvel\\OrvelDraw.exe,0");
  reg::Key software;
  ASSERT_TRUE(reg::Key::open(reg::Root::LocalMachine, u"Software", reg::kKeyAllAccess, reg::Open::Existing, software));
  reg::Key extension;
  ASSERT_TRUE(reg::Key::open(software, u"Classes\\.od", reg::kKeyAllAccess, reg::Open::OrCreate, extension));
  ASSERT_TRUE(extension.setValue(u"", reg::makeString(u"OrvelDraw")));
  extension.close();

  EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, L"Software\\Classes\\OrvelDraw\\DefaultIcon", L"", KEY_WOW64_64KEY),
            L"C:\\Orvel\\OrvelDraw.exe,0");
  EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.od", L"", KEY_WOW64_64KEY), L"OrvelDraw");
  reg::Key read;
  reg::Value value;
  EXPECT_TRUE(reg::Key::open(reg::Root::LocalMachine, u"Software\\Classes\\.od", reg::kKeyRead, reg::Open::Existing, read) &&
              read.queryValue(u"", value));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Wow6432Node\\OrvelDraw", KEY_WOW64_64KEY));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Wow6432Node\\.od", KEY_WOW64_64KEY));

  EXPECT_TRUE(software.deleteSubKey(u"Classes\\.od"));
  EXPECT_TRUE(reg::deleteKey(reg::Root::LocalMachine, u"Software\\Classes\\OrvelDraw\\DefaultIcon"));
  EXPECT_TRUE(reg::deleteKey(reg::Root::LocalMachine, u"Software\\Classes\\OrvelDraw"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.od", KEY_WOW64_64KEY));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\OrvelDraw", KEY_WOW64_64KEY));
}

// HKEY_CURRENT_USER has one view: what the service writes is where any program finds it.
TEST(Win32RegistryView, CurrentUserIsNotRedirected) {
  test::TestMachine machine;
  writeThroughService(reg::Root::CurrentUser, u"Software\\OrvelDraw\\Program", u"Update", u"1");
  EXPECT_EQ(readRaw(HKEY_CURRENT_USER, L"Software\\OrvelDraw\\Program", L"Update", KEY_WOW64_64KEY), L"1");
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Wow6432Node\\OrvelDraw", KEY_WOW64_64KEY));
}

}  // namespace
}  // namespace orvel
