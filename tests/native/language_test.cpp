// The language button: the file dialog opens on the distribution's language
// files, and the chosen english.ini puts its texts into both windows and the
// messages.
#include "tests/native/layout.h"
#include "tests/native/machine.h"
#include "tests/native/native_run.h"

namespace orvel::native {
namespace {

// A text of a language file as the program looks it up: the section
// "Installation" first, then "Common".
std::wstring translation(const std::wstring& file, const std::wstring& key) {
  for (const wchar_t* section : {L"Installation", L"Common"})
    if (auto value = iniValue(file, section, key); value && !value->empty()) return *value;
  return {};
}

// The hidden log window: of the program's forms the one with a memo and no
// panel (the updater window has a panel; the wait window has no memo).
HWND hiddenLogWindowOf(const SetupProcess& process) {
  for (HWND hwnd : allWindows(process.id()))
    if (classOf(hwnd) == L"OrvelForm" && !IsWindowVisible(hwnd) && !controlsOfClass(hwnd, L"Edit").empty() &&
        controlsOfClass(hwnd, L"OrvelContainer").empty())
      return hwnd;
  return nullptr;
}

class LanguageRun : public NativeRun {};

TEST_F(LanguageRun, LanguageButtonSwitchesBothWindowsAndTheMessagesToEnglish) {
  const std::wstring english = dist() + L"languages\\english.ini";
  const auto text = [&](const wchar_t* key) { return translation(english, key); };
  ASSERT_EQ(text(L"BInstall"), L"Install") << "the distribution's english.ini";

  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  click(w.BLanguage);
  HWND dialog = setup->dialog();
  ASSERT_NE(dialog, nullptr) << describeWindows(setup->id());
  // A bare name: the dialog opened in the distribution's languages folder.
  answerFileDialog(dialog, L"english.ini");
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }, 10s)) << describeWindows(setup->id());
  ASSERT_TRUE(waitUntilIdle(w.form));

  EXPECT_EQ(textOf(w.form), text(L"Caption"));
  EXPECT_EQ(textOf(w.BInstall), text(L"BInstall"));
  const std::vector<std::pair<HWND, const wchar_t*>> captions = {
      {w.LFolder, L"LFolder"},
      {w.LHint1, L"LHint1"},
      {w.LHint2, L"LHint2"},
      {w.BDeinstall, L"BDeinstall"},
      {w.BLanguage, L"BLanguage"},
      {w.BClose, L"BClose"},
      {w.CBStartmenu, L"CBStartmenu"},
      {w.CBDesktopSymbol, L"CBDesktopSymbol"},
      {w.CBPortableApplication, L"CBPortableApplication"},
  };
  for (const auto& [control, key] : captions) EXPECT_EQ(textOf(control), text(key)) << utf8(key);
  EXPECT_EQ(textOf(w.RegistryItem), L"Save in the registry");
  EXPECT_EQ(textOf(w.IniItem), L"Save in INI files");
  EXPECT_TRUE(isChecked(w.RegistryItem)) << "the choice stays";
  // The layout does not change with the texts.
  expectSetupLayout(w);
  screenshot(w.form, "setup-window-english");

  // The log window, not shown yet, has its caption and button too.
  HWND log = hiddenLogWindowOf(*setup);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(textOf(log), text(L"Caption"));
  EXPECT_NE(findControl(log, L"Button", text(L"BClose")), nullptr);

  // And the messages speak English: an empty installation folder.
  typeInto(w.EFolder, L"");
  click(w.BInstall);
  HWND box = setup->dialog();
  ASSERT_NE(box, nullptr) << describeWindows(setup->id());
  const MessageBoxSeen seen = readMessageBox(box);
  EXPECT_EQ(seen.title, L"Fehler") << "the box's title is the system's";
  EXPECT_EQ(seen.text, text(L"LNGSpecifyInstallationfolder"));
  ASSERT_TRUE(pressButton(box, L"OK"));

  click(w.BClose);
  EXPECT_TRUE(setup->waitForExit(20s)) << describeWindows(setup->id());
}

// Cancelling the dialog keeps the German texts.
TEST_F(LanguageRun, CancelledDialogKeepsTheTexts) {
  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  click(w.BLanguage);
  HWND dialog = setup->dialog();
  ASSERT_NE(dialog, nullptr) << describeWindows(setup->id());
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }, 10s));
  ASSERT_TRUE(waitUntilIdle(w.form));
  EXPECT_EQ(textOf(w.BInstall), L"Installieren");
  EXPECT_EQ(textOf(w.form), caption::kSetup);
  click(w.BClose);
  EXPECT_TRUE(setup->waitForExit(20s));
}

}  // namespace
}  // namespace orvel::native
