// Registry mode: the application hands over a settings list; only the wait
// window shows, and the values land in the 32-bit program's view of the
// machine's registry, or with "-INI" in the machine INI file.
#include <algorithm>

#include "tests/native/machine.h"
#include "tests/native/native_run.h"

namespace orvel::native {
namespace {

const std::wstring kSettings = L"Program|Update|7|i#Orvel|Theme|Dunkel für Nachteulen|s##Orvel|Skipped|1|x#";

class RegistryModeRun : public NativeRun {};

// The wait window may come and go between two looks; no other window may come.
bool onlyTheWaitWindow(const std::vector<std::wstring>& captions) {
  return std::all_of(captions.begin(), captions.end(), [](const std::wstring& c) { return c == caption::kWait; });
}

TEST_F(RegistryModeRun, SettingsLandInTheMachinesRegistryOf32BitPrograms) {
  const std::vector<std::wstring> seen = captionsUntilTheEnd(*startDistSetup({L"-Registry", kSettings}));
  EXPECT_TRUE(onlyTheWaitWindow(seen));

  const std::wstring key = L"Software\\OrvelDraw\\";
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, key + L"Program", L"Update", kView32), 7u);
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, key + L"Orvel", L"Theme", kView32), L"Dunkel für Nachteulen");
  EXPECT_FALSE(readString(HKEY_LOCAL_MACHINE, key + L"Orvel", L"Skipped", kView32)) << "type x writes nothing";
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", kView64));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\OrvelDraw", 0));
}

TEST_F(RegistryModeRun, WithIniSwitchSettingsLandInTheMachineIniFile) {
  const std::wstring ini = folder() + L"ODMachine.INI";
  const std::vector<std::wstring> seen = captionsUntilTheEnd(*startDistSetup({L"-Registry", kSettings, L"-INI", ini}));
  EXPECT_TRUE(onlyTheWaitWindow(seen));
  EXPECT_EQ(iniValue(ini, L"Program", L"Update"), L"7");
  EXPECT_EQ(iniValue(ini, L"Orvel", L"Theme"), L"Dunkel für Nachteulen");
  EXPECT_FALSE(iniValue(ini, L"Orvel", L"Skipped"));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", kView32));
}

}  // namespace
}  // namespace orvel::native
