// The setup window as Setup.exe shows it to a German user: its place and
// layout, its defaults, the option boxes' handlers through real clicks, and
// the close button ending the program.
#include <shlobj.h>

#include <filesystem>
#include <fstream>

#include "tests/native/layout.h"
#include "tests/native/machine.h"
#include "tests/native/native_run.h"

namespace orvel::native {
namespace {

class SetupWindowRun : public NativeRun {};

TEST_F(SetupWindowRun, ShowsItsDesignedLayoutAndGermanDefaults) {
  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  expectSetupLayout(w);

  // Centred on the screen.
  const Rect frame = screenRect(w.form);
  EXPECT_NEAR(frame.left + frame.width / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR(frame.top + frame.height / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  // The 32-bit programs folder, as a 32-bit program sees it.
  EXPECT_EQ(textOf(w.EFolder), shellFolder(CSIDL_PROGRAM_FILESX86) + L"OrvelDraw\\");
  EXPECT_TRUE(isChecked(w.RegistryItem));
  EXPECT_FALSE(isChecked(w.IniItem));
  EXPECT_TRUE(isChecked(w.CBStartmenu));
  EXPECT_TRUE(isChecked(w.CBDesktopSymbol));
  EXPECT_FALSE(isChecked(w.CBPortableApplication));
  EXPECT_FALSE(isEnabled(w.EUserfolder));
  EXPECT_FALSE(isEnabled(w.SBUserIni));
  const std::wstring appData = shellFolder(CSIDL_APPDATA) + L"OrvelDraw\\";
  std::wstring expectedUserFolder = appData;
  if (const size_t at = appData.find(userName()); !userName().empty() && at != std::wstring::npos)
    expectedUserFolder.replace(at, userName().size(), L"%Username%");
  EXPECT_EQ(textOf(w.EUserfolder), expectedUserFolder);
  screenshot(w.form, "setup-window");

  // The option handlers run on real clicks: INI files enable the
  // user-settings folder; the portable box disables it again and points it
  // into the installation folder.
  click(w.IniItem);
  EXPECT_TRUE(waitUntil([&] { return isEnabled(w.EUserfolder) && isEnabled(w.SBUserIni); }, 5s));
  ASSERT_TRUE(setChecked(w.CBPortableApplication, true));
  EXPECT_TRUE(waitUntil([&] { return !isEnabled(w.EUserfolder); }, 5s));
  EXPECT_EQ(textOf(w.EUserfolder), textOf(w.EFolder) + L"Data\\");
  click(w.RegistryItem);
  EXPECT_TRUE(waitUntil([&] { return !isChecked(w.CBPortableApplication); }, 5s)) << "the registry clears portable";
  EXPECT_EQ(textOf(w.EUserfolder), expectedUserFolder);

  click(w.BClose);
  ASSERT_TRUE(setup->waitForExit(20s)) << "Beenden ends the program";
  EXPECT_EQ(setup->exitCode(), 0u);
}

// A process of the user may set the GUI script's variables in the user's
// environment; the program as it ships shows its windows all the same, acts
// on none of the script's lines and writes no transcript.
TEST_F(SetupWindowRun, ReadsNoScriptThatTheEnvironmentNames) {
  const std::wstring script = folder() + L"script";
  const std::wstring transcript = folder() + L"transcript";
  {
    std::ofstream out(std::filesystem::path(script), std::ios::binary);
    out << "close FSetup\n";
  }
  auto setup = start(dist() + L"Setup.exe", {}, {L"ORVEL_GUI_SCRIPT=" + script, L"ORVEL_GUI_TRANSCRIPT=" + transcript});
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  EXPECT_FALSE(setup->waitForExit(2s)) << "the script's close was obeyed";
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(transcript)));

  click(w.BClose);
  ASSERT_TRUE(setup->waitForExit(20s));
}

}  // namespace
}  // namespace orvel::native
