// The updater window as a native window: frame, size, place, font and its
// controls where they are designed, and the OK button ending the program.
// Needs a desktop: under Wine run the binary inside xvfb-run; without a
// display every case skips itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/windows.h"
#include "gui/backend.h"
#include "tests/support/test_machine.h"
#include "updater/updater.h"

namespace orvel {
namespace {

HWND windowOf(const gui::Form& form) { return static_cast<HWND>(form.nativeHandle()); }
HWND windowOf(const gui::Component& c) { return static_cast<HWND>(c.form().peer()->controlHandle(c)); }

gui::Bounds boundsIn(HWND parent, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

class UpdaterWindowOnDisplay : public testing::Test {
 protected:
  void SetUp() override {
    auto backend = gui::makeNativeBackend();
    if (!backend) GTEST_SKIP() << "no display to show windows on (run it under xvfb-run)";
    app_ = std::make_unique<gui::Application>(std::move(backend));
    windows_ = std::make_unique<ProgramWindows>(*app_, u"C:\\dist\\Setup.exe", [this] {
      updater_ = std::make_unique<TFUpdater>(*app_, std::vector<Str>{u"Setup.exe"});
      FUpdater = updater_.get();
    });
  }
  void TearDown() override {
    windows_.reset();
    FUpdater = nullptr;
  }

  test::TestMachine machine_;
  std::unique_ptr<gui::Application> app_;
  std::unique_ptr<TFUpdater> updater_;
  std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(UpdaterWindowOnDisplay, FrameSizePlaceAndControls) {
  FUpdater->AddLog(u"Cannot copy C:\\Neu\\OrvelDraw.exe");
  FUpdater->show();
  app_->processMessages();
  HWND form = windowOf(*FUpdater);
  wchar_t caption[64] = {};
  GetWindowTextW(form, caption, 64);
  EXPECT_STREQ(caption, L"Orvel-Draw-Updater");
  const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);  // sizeable
  EXPECT_FALSE(style & WS_SYSMENU);    // no caption-bar buttons
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT client{}, frame{};
  GetClientRect(form, &client);
  GetWindowRect(form, &frame);
  EXPECT_EQ(client.right, 664);
  EXPECT_EQ(client.bottom, 251);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);

  EXPECT_EQ(boundsIn(form, windowOf(*FUpdater->Memo)), (gui::Bounds{0, 0, 664, 216}));
  EXPECT_EQ(boundsIn(form, windowOf(*FUpdater->Panel1)), (gui::Bounds{0, 216, 664, 35}));
  HWND panel = windowOf(*FUpdater->Panel1);
  EXPECT_EQ(boundsIn(panel, windowOf(*FUpdater->BOK)), (gui::Bounds{585, 4, 75, 27}));
  EXPECT_EQ(boundsIn(panel, windowOf(*FUpdater->BRetry)), (gui::Bounds{504, 4, 75, 27}));

  HWND memo = windowOf(*FUpdater->Memo);
  const LONG_PTR memoStyle = GetWindowLongPtrW(memo, GWL_STYLE);
  EXPECT_TRUE(memoStyle & WS_VSCROLL);
  EXPECT_TRUE(memoStyle & ES_MULTILINE);
  EXPECT_FALSE(memoStyle & ES_AUTOHSCROLL);  // long lines wrap
  EXPECT_FALSE(memoStyle & ES_READONLY);
  wchar_t text[128] = {};
  GetWindowTextW(memo, text, 128);
  EXPECT_STREQ(text, L"Cannot copy C:\\Neu\\OrvelDraw.exe");
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(memo, WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_STREQ(font.lfFaceName, L"Tahoma");
  EXPECT_EQ(std::abs(font.lfHeight), 11);

  // A larger window keeps OK at the panel's right edge and the panel at the bottom.
  SetWindowPos(form, nullptr, 0, 0, frame.right - frame.left + 100, frame.bottom - frame.top + 50,
               SWP_NOMOVE | SWP_NOZORDER);
  app_->processMessages();
  EXPECT_EQ(boundsIn(form, windowOf(*FUpdater->Panel1)), (gui::Bounds{0, 266, 764, 35}));
  EXPECT_EQ(boundsIn(panel, windowOf(*FUpdater->BOK)), (gui::Bounds{685, 4, 75, 27}));
  EXPECT_EQ(boundsIn(panel, windowOf(*FUpdater->BRetry)), (gui::Bounds{504, 4, 75, 27}));
}

// Pressing OK ends the program's loop, with the setup window never shown.
TEST_F(UpdaterWindowOnDisplay, OkEndsTheLoop) {
  FUpdater->Dest = machine_.scratch();  // no OrvelDraw.exe there: nothing starts
  app_->setShowMainForm(false);
  FUpdater->show();
  PostMessageW(windowOf(*FUpdater->BOK), BM_CLICK, 0, 0);
  app_->run();
  EXPECT_TRUE(app_->terminated());
  EXPECT_FALSE(FSetup->visible());
}

}  // namespace
}  // namespace orvel
