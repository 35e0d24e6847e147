// The setup window at 96 and 144 DPI, as Setup.exe shows it where the user
// has chosen 150 %: Wine takes the DPI from the prefix's LogPixels value
// when a program starts. Every length 1.5 times as large, in German and
// after switching to Spanish, whose texts are the longest; screenshots of
// both for the README.
#include "tests/native/layout.h"
#include "tests/native/machine.h"
#include "tests/native/native_run.h"

namespace orvel::native {
namespace {

// The user's LogPixels for as long as the object lives; the programs
// started meanwhile run at that DPI.
class LogPixels {
 public:
  explicit LogPixels(DWORD dpi) {
    DWORD size = sizeof old_;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_, &size) ==
           ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
  }
  ~LogPixels() {
    if (had_)
      RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &old_, sizeof old_);
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
  }
  LogPixels(const LogPixels&) = delete;
  LogPixels& operator=(const LogPixels&) = delete;

 private:
  static constexpr wchar_t kKey[] = L"Control Panel\\Desktop";
  DWORD old_ = 96;
  bool had_ = false;
};

class DpiRun : public NativeRun {};

TEST_F(DpiRun, SetupWindowScalesWithTheDpiInGermanAndSpanish) {
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    const LogPixels setting(static_cast<DWORD>(dpi));
    auto setup = startDistSetup();
    const SetupWindow w = setupWindowOf(*setup);
    ASSERT_EQ(w.missing(), "");
    expectSetupLayout(w, dpi);
    const std::string suffix = dpi == 96 ? "" : "-" + std::to_string(dpi) + "dpi";
    if (dpi != 96) screenshot(w.form, "setup-window" + suffix);

    click(w.BLanguage);
    HWND dialog = setup->dialog();
    ASSERT_NE(dialog, nullptr) << describeWindows(setup->id());
    answerFileDialog(dialog, L"espanol.ini");
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }, 10s)) << describeWindows(setup->id());
    ASSERT_TRUE(waitUntilIdle(w.form));
    ASSERT_EQ(textOf(w.BInstall), L"Instalar");
    expectSetupLayout(w, dpi);
    screenshot(w.form, "setup-window-spanish" + suffix);

    click(w.BClose);
    ASSERT_TRUE(setup->waitForExit(20s));
  }
}

}  // namespace
}  // namespace orvel::native
