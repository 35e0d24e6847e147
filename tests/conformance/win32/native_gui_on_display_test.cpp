// The native windows, measured and driven through Win32 as a user would
// drive them. These need a desktop: under Wine run the binary inside
// xvfb-run; without a display every case skips itself.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "app/windows.h"
#include "gui/backend.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using gui::Align;
using gui::Bounds;
using gui::Component;
using gui::Kind;

Str textOf(HWND hwnd) {
  wchar_t text[1024] = {};
  GetWindowTextW(hwnd, text, 1024);
  return Str(reinterpret_cast<const char16_t*>(text));
}

HWND windowOf(const gui::Form& form) { return static_cast<HWND>(form.peer()->nativeHandle()); }
HWND windowOf(const Component& c) { return static_cast<HWND>(c.form().peer()->controlHandle(c)); }

// A control's rectangle in its parent's client coordinates.
Bounds boundsIn(HWND parent, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

SIZE clientSize(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return {r.right, r.bottom};
}

POINT centreOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

LOGFONTW fontOf(HWND hwnd) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font;
}

// The brush the form gives a control to paint its background with.
HBRUSH backgroundOf(HWND form, HWND control, UINT message) {
  HDC dc = GetDC(control);
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(form, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  ReleaseDC(control, dc);
  return brush;
}

HWND radioItem(const Component& group, const wchar_t* caption) {
  return FindWindowExW(windowOf(group), nullptr, L"BUTTON", caption);
}

void typeInto(HWND edit, const wchar_t* text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}

bool checkedOn(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Window enumeration callbacks: named stdcall functions, since a lambda does
// not convert to WNDENUMPROC in the 32-bit build.
BOOL CALLBACK findVisibleDialog(HWND hwnd, LPARAM data) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
  *reinterpret_cast<HWND*>(data) = hwnd;
  return FALSE;
}

BOOL CALLBACK findTooltipWindow(HWND hwnd, LPARAM data) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  if (lstrcmpW(name, TOOLTIPS_CLASSW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(data) = hwnd;
  return FALSE;
}

// A visible dialog box (message box, file dialog) of a thread, or null.
HWND dialogOf(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(thread, findVisibleDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Does what a user does with the next dialog box that the GUI thread (the
// thread that makes this object) shows: `act` runs on a thread of its own
// while the box's modal loop runs.
class DialogUser {
 public:
  explicit DialogUser(std::function<void(HWND)> act)
      : gui_(GetCurrentThreadId()), thread_([this, act = std::move(act)] { run(act); }) {}
  ~DialogUser() {
    if (thread_.joinable()) thread_.join();
  }
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;
  // Waits for the helper thread; whether it found a box to act on.
  bool finished() {
    thread_.join();
    return acted_;
  }

 private:
  void run(const std::function<void(HWND)>& act) {
    for (int attempt = 0; attempt < 400; ++attempt) {
      if (HWND box = dialogOf(gui_)) {
        Sleep(100);  // let it finish showing (captions, place)
        act(box);
        acted_ = true;
        return;
      }
      Sleep(50);
    }
  }

  DWORD gui_;
  std::atomic<bool> acted_{false};
  std::thread thread_;
};

// What a message box shows.
struct SeenBox {
  Str title;
  Str text;
  std::vector<Str> captions;  // of IDYES, IDNO, IDOK, IDCANCEL, those present
  bool icon = false;
  POINT centre{};
};

SeenBox look(HWND box) {
  SeenBox seen;
  seen.title = textOf(box);
  seen.centre = centreOf(box);
  for (int id : {IDYES, IDNO, IDOK, IDCANCEL})
    if (HWND button = GetDlgItem(box, id)) seen.captions.push_back(textOf(button));
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Static") != 0) continue;
    if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      seen.icon = seen.icon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
    else if (seen.text.empty())
      seen.text = textOf(child);
  }
  return seen;
}

void press(HWND box, int id) {
  if (HWND button = GetDlgItem(box, id))
    SendMessageW(button, BM_CLICK, 0, 0);
  else
    PostMessageW(box, WM_COMMAND, id, 0);
}

POINT screenCentre() { return {GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2}; }

class NativeGuiOnDisplay : public testing::Test {
 protected:
  void SetUp() override {
    auto backend = gui::makeNativeBackend();
    if (!backend) GTEST_SKIP() << "no display to show windows on (run it under xvfb-run)";
    app_ = std::make_unique<gui::Application>(std::move(backend));
  }

  std::unique_ptr<gui::Application> app_;
};

TEST_F(NativeGuiOnDisplay, SetupWindowHasItsDesignedFrameSizeFontsAndPlaces) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  TFSetup& setup = windows.setup();
  setup.show();
  HWND form = windowOf(setup);
  EXPECT_EQ(textOf(form), u"Setup für Orvel-Draw");
  // A caption that does not fit beside its neighbours wraps, and the window
  // grows downwards for it (TextFit checks the places at every DPI).
  const SIZE client = clientSize(form);
  EXPECT_EQ(client.cx, 504);
  EXPECT_GE(client.cy, 236);
  const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME) << "fixed frame";
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  const POINT centre = centreOf(form);
  EXPECT_NEAR(centre.x, screenCentre().x, 1);
  EXPECT_NEAR(centre.y, screenCentre().y, 1);

  int placed = 0;
  for (const auto& component : setup.components()) {
    if (component->kind() == Kind::Other) continue;
    SCOPED_TRACE(toUtf8(component->name()));
    HWND control = windowOf(*component);
    ASSERT_NE(control, nullptr);
    const Bounds actual = boundsIn(GetParent(control), control);
    const Bounds& designed = component->bounds();
    EXPECT_EQ(actual.left, designed.left);
    if (designed.top < 176) {  // above the hint that may wrap
      EXPECT_EQ(actual.top, designed.top);
      EXPECT_EQ(actual.height, designed.height);
    }
    // A control with a caption may grow to show it whole in a wider font.
    EXPECT_GE(actual.width, designed.width);
    if (component->kind() == Kind::Edit || component->kind() == Kind::SpeedButton) {
      EXPECT_EQ(actual.width, designed.width);
    }
    const bool focusable = component->kind() != Kind::Label && component->kind() != Kind::SpeedButton &&
                           component->kind() != Kind::RadioGroup;
    EXPECT_EQ((GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0, focusable);
    ++placed;
  }
  EXPECT_EQ(placed, 15);

  const LOGFONTW font = fontOf(windowOf(*setup.EFolder));
  EXPECT_EQ(font.lfHeight, -11);
  EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
  EXPECT_TRUE(IsWindowEnabled(windowOf(*setup.EFolder)));
  EXPECT_FALSE(IsWindowEnabled(windowOf(*setup.EUserfolder)));
  EXPECT_FALSE(IsWindowEnabled(windowOf(*setup.SBUserIni)));
  EXPECT_EQ(textOf(windowOf(*setup.EFolder)), setup.EFolder->text());
  EXPECT_TRUE(checkedOn(radioItem(*setup.RGRegOrIni, L"in Registry speichern")));
  EXPECT_TRUE(checkedOn(windowOf(*setup.CBStartmenu)));
}

// Tab visits the enabled controls in the designed tab order; the radio
// group is reached at its selected button.
TEST_F(NativeGuiOnDisplay, TabFollowsTheDesignedOrder) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  TFSetup& s = windows.setup();
  s.show();
  HWND form = windowOf(s);
  const std::vector<HWND> expected = {
      radioItem(*s.RGRegOrIni, L"in Registry speichern"),
      windowOf(*s.EFolder),
      windowOf(*s.BInstall),
      windowOf(*s.BDeinstall),
      windowOf(*s.BClose),
      windowOf(*s.CBDesktopSymbol),
      windowOf(*s.CBStartmenu),
      windowOf(*s.BLanguage),
      windowOf(*s.CBPortableApplication),
  };
  std::vector<HWND> visited{GetNextDlgTabItem(form, nullptr, FALSE)};
  while (visited.size() < 20) {
    HWND next = GetNextDlgTabItem(form, visited.back(), FALSE);
    if (next == visited.front()) break;
    visited.push_back(next);
  }
  EXPECT_EQ(visited, expected);
}

void pressKey(gui::Application& app, UINT key) {
  HWND focus = GetFocus();
  PostMessageW(focus, WM_KEYDOWN, key, 1);
  PostMessageW(focus, WM_KEYUP, key, 1u | (1u << 30) | (1u << 31));
  app.processMessages();
}

// The keys of a dialog work through the program's own message loop: Tab
// moves on, the arrow keys choose in the radio group, Space clicks.
TEST_F(NativeGuiOnDisplay, KeyboardWorksAsInADialog) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  TFSetup& s = windows.setup();
  s.show();
  SetForegroundWindow(windowOf(s));
  app_->processMessages();
  ASSERT_EQ(GetFocus(), radioItem(*s.RGRegOrIni, L"in Registry speichern"));

  pressKey(*app_, VK_DOWN);
  EXPECT_EQ(GetFocus(), radioItem(*s.RGRegOrIni, L"in INI-Dateien speichern"));
  EXPECT_EQ(s.RGRegOrIni->itemIndex(), 1);
  EXPECT_TRUE(s.EUserfolder->enabled()) << "the selection's handler ran";

  pressKey(*app_, VK_TAB);
  EXPECT_EQ(GetFocus(), windowOf(*s.EUserfolder)) << "enabled now: tab order 1";
  pressKey(*app_, VK_TAB);
  EXPECT_EQ(GetFocus(), windowOf(*s.EFolder));
  for (int i = 0; i < 7; ++i) pressKey(*app_, VK_TAB);
  ASSERT_EQ(GetFocus(), windowOf(*s.CBPortableApplication));
  pressKey(*app_, VK_SPACE);
  EXPECT_TRUE(s.CBPortableApplication->checked());
  EXPECT_FALSE(s.EUserfolder->enabled());
}

// Clicks and typing reach the handlers, and what the handlers change shows
// in the controls: the user-settings folder in the menu colour while
// disabled and in the window colour while enabled.
TEST_F(NativeGuiOnDisplay, UserActionsRunTheHandlersAndTheControlsFollow) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  TFSetup& s = windows.setup();
  s.show();
  HWND form = windowOf(s);
  HWND userFolder = windowOf(*s.EUserfolder);
  HWND portable = windowOf(*s.CBPortableApplication);
  HWND registryItem = radioItem(*s.RGRegOrIni, L"in Registry speichern");
  HWND iniItem = radioItem(*s.RGRegOrIni, L"in INI-Dateien speichern");
  ASSERT_TRUE(registryItem && iniItem);
  EXPECT_EQ(backgroundOf(form, userFolder, WM_CTLCOLORSTATIC), GetSysColorBrush(COLOR_MENU));

  SendMessageW(iniItem, BM_CLICK, 0, 0);
  EXPECT_EQ(s.RGRegOrIni->itemIndex(), 1);
  EXPECT_TRUE(IsWindowEnabled(userFolder));
  EXPECT_TRUE(IsWindowEnabled(windowOf(*s.SBUserIni)));
  EXPECT_EQ(backgroundOf(form, userFolder, WM_CTLCOLOREDIT), GetSysColorBrush(COLOR_WINDOW));

  typeInto(windowOf(*s.EFolder), L"E:\\OrvelDraw");
  EXPECT_EQ(s.EFolder->text(), u"E:\\OrvelDraw");

  SendMessageW(portable, BM_CLICK, 0, 0);
  EXPECT_TRUE(s.CBPortableApplication->checked());
  EXPECT_TRUE(checkedOn(portable));
  EXPECT_FALSE(IsWindowEnabled(userFolder));
  EXPECT_EQ(textOf(userFolder), u"E:\\OrvelDraw\\Data\\");
  EXPECT_EQ(backgroundOf(form, userFolder, WM_CTLCOLORSTATIC), GetSysColorBrush(COLOR_MENU));

  // Back to the registry: the handler unchecks the portable box from code.
  SendMessageW(registryItem, BM_CLICK, 0, 0);
  EXPECT_EQ(s.RGRegOrIni->itemIndex(), 0);
  EXPECT_TRUE(checkedOn(registryItem));
  EXPECT_FALSE(checkedOn(iniItem));
  EXPECT_FALSE(checkedOn(portable));
  EXPECT_FALSE(s.CBPortableApplication->checked());
  EXPECT_EQ(textOf(userFolder), s.GibAnwendungsdatenOrdner());
  EXPECT_FALSE(IsWindowEnabled(userFolder));

  // A disabled control takes no clicks, as the model takes none.
  SendMessageW(windowOf(*s.SBUserIni), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(windowOf(*s.SBUserIni), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(s.EUserfolder->text(), s.GibAnwendungsdatenOrdner());
}

TEST_F(NativeGuiOnDisplay, ModelChangesShowInTheControls) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  TFSetup& s = windows.setup();
  s.show();
  HWND install = windowOf(*s.BInstall);
  s.BInstall->setCaption(u"Installer");
  EXPECT_EQ(textOf(install), u"Installer");
  s.BInstall->setEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(install));
  s.BInstall->setVisible(false);
  EXPECT_FALSE(IsWindowVisible(install));
  s.BInstall->setBounds({10, 10, 100, 30});
  EXPECT_EQ(boundsIn(windowOf(s), install), (Bounds{10, 10, 100, 30}));
  s.setCaption(u"Setup");
  EXPECT_EQ(textOf(windowOf(s)), u"Setup");
  s.LHint1->setCaption(u"Ein viel längerer Hinweis, der über die entworfene Breite hinausreicht");
  EXPECT_GT(boundsIn(windowOf(s), windowOf(*s.LHint1)).width, s.LHint1->bounds().width);

  // Hints become tooltips of the form's tooltip window.
  s.BClose->setHint(u"Beendet das Setup");
  HWND tips = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), findTooltipWindow, reinterpret_cast<LPARAM>(&tips));
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
  s.BClose->setHint(u"");
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 0);
}

// The log window: the memo's lines and the edit control's text are one.
TEST_F(NativeGuiOnDisplay, LogWindowMemoFollowsItsLinesBothWays) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  windows.setup().show();
  TFMemo& memo = windows.memo();
  memo.show();
  HWND form = windowOf(memo);
  EXPECT_EQ(clientSize(form).cx, 693);
  EXPECT_EQ(clientSize(form).cy, 257);
  HWND lines = windowOf(*memo.MInstallation);
  EXPECT_EQ(boundsIn(form, lines), (Bounds{0, 0, 693, 201}));
  EXPECT_EQ(boundsIn(form, windowOf(*memo.BClose)), (Bounds{608, 216, 75, 25}));
  const LONG_PTR style = GetWindowLongPtrW(lines, GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_FALSE(style & ES_AUTOHSCROLL) << "long lines wrap";
  // Centred over the setup window.
  const POINT over = centreOf(windowOf(windows.setup()));
  EXPECT_NEAR(centreOf(form).x, over.x, 1);
  EXPECT_NEAR(centreOf(form).y, over.y, 1);

  EXPECT_EQ(textOf(lines), u"Orvel-Draw Installation\r\n");
  memo.GibAus(u"Kopiere a nach b");
  EXPECT_EQ(textOf(lines), u"Orvel-Draw Installation\r\n\r\nKopiere a nach b");
  typeInto(lines, L"eins\r\nzwei");
  EXPECT_EQ(memo.MInstallation->lines(), (std::vector<Str>{u"eins", u"zwei"}));
  memo.MInstallation->setLines({u"neu"});
  EXPECT_EQ(textOf(lines), u"neu");
  // Lines added after the user typed go after what the user typed.
  typeInto(lines, L"eins\r\nzwei");
  memo.GibAus(u"drei");
  EXPECT_EQ(textOf(lines), u"eins\r\nzwei\r\ndrei");
  memo.MInstallation->clearLines();
  memo.GibAus(u"vier");
  EXPECT_EQ(textOf(lines), u"vier");
}

// A handler that logs many lines: the control holds each line at once, and
// once the program reads messages again it shows the end of the log.
TEST_F(NativeGuiOnDisplay, LogWindowShowsTheEndOfABurstOfLines) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  windows.setup().show();
  TFMemo& memo = windows.memo();
  memo.show();
  app_->processMessages();
  HWND lines = windowOf(*memo.MInstallation);
  constexpr int kLines = 300;
  for (int i = 0; i < kLines; ++i) memo.GibAus(u"Kopiere Zeile " + fromUtf8(std::to_string(i)));
  EXPECT_EQ(SendMessageW(lines, EM_GETLINECOUNT, 0, 0), kLines + 2);
  app_->processMessages();
  EXPECT_TRUE(IsWindowVisible(lines));
  // The last line within the client area.
  const LRESULT at = SendMessageW(lines, EM_POSFROMCHAR, SendMessageW(lines, EM_LINEINDEX, kLines + 1, 0), 0);
  const int y = static_cast<short>(HIWORD(at));
  EXPECT_GE(y, 0);
  EXPECT_LT(y, clientSize(lines).cy);
  EXPECT_EQ(memo.MInstallation->lines().back(), u"Kopiere Zeile 299");

  // A memo hidden during a burst stays hidden when it would repaint.
  memo.GibAus(u"noch eine");
  memo.MInstallation->setVisible(false);
  app_->processMessages();
  EXPECT_FALSE(IsWindowVisible(lines));
  memo.MInstallation->setVisible(true);
  memo.GibAus(u"und noch eine");
  app_->processMessages();
  EXPECT_TRUE(IsWindowVisible(lines));
  EXPECT_EQ(SendMessageW(lines, EM_GETLINECOUNT, 0, 0), kLines + 4);
}

// The updater's layout: a sizeable window without system menu whose memo
// fills what the bottom panel leaves, with OK docked to the panel's right.
class DockedWindow : public gui::Form {
 public:
  explicit DockedWindow(gui::Application& app) : gui::Form(app, u"FDocked") {
    setCaption(u"Orvel-Draw-Updater");
    setBorder(gui::BorderStyle::Sizeable, {false, false, false});
    setClientSize(664, 251);
    setPosition(gui::Position::Designed, 0, 0);
    setFont({u"Tahoma", 11});
    memo = &add(Kind::Memo, u"Memo");
    memo->setBounds({0, 0, 664, 216});
    memo->setAlign(Align::Client);
    memo->setScrollBars(gui::ScrollBars::Vertical);
    memo->setTabOrder(0);
    panel = &add(Kind::Panel, u"Panel1");
    panel->setBounds({0, 216, 664, 35});
    panel->setAlign(Align::Bottom);
    panel->setTabOrder(1);
    ok = &add(Kind::Button, u"BOK", panel);
    ok->setCaption(u"OK");
    ok->setBounds({585, 4, 75, 27});
    ok->setAlign(Align::Right);
    ok->setTabOrder(0);
    retry = &add(Kind::Button, u"BRetry", panel);
    retry->setCaption(u"Retry");
    retry->setBounds({504, 4, 75, 27});
    retry->setTabOrder(1);
    created();
  }
  Component* memo;
  Component* panel;
  Component* ok;
  Component* retry;
};

TEST_F(NativeGuiOnDisplay, DockedControlsFollowTheWindowSize) {
  DockedWindow w(*app_);
  w.show();
  HWND form = windowOf(w);
  const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_THICKFRAME);
  RECT frame{};
  GetWindowRect(form, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);

  struct Expected {
    int width, height;
    Bounds memo, panel, ok;
  };
  const Expected sizes[] = {
      {664, 251, {0, 0, 664, 216}, {0, 216, 664, 35}, {585, 4, 75, 27}},
      {800, 300, {0, 0, 800, 265}, {0, 265, 800, 35}, {721, 4, 75, 27}},
  };
  for (const Expected& size : sizes) {
    SCOPED_TRACE(size.width);
    RECT wanted{0, 0, size.width, size.height};
    AdjustWindowRectEx(&wanted, static_cast<DWORD>(style), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(form, GWL_EXSTYLE)));
    SetWindowPos(form, nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(clientSize(form).cx, size.width);
    HWND panel = windowOf(*w.panel);
    EXPECT_EQ(boundsIn(form, windowOf(*w.memo)), size.memo);
    EXPECT_EQ(boundsIn(form, panel), size.panel);
    EXPECT_EQ(boundsIn(panel, windowOf(*w.ok)), size.ok);
    EXPECT_EQ(boundsIn(panel, windowOf(*w.retry)), (Bounds{504, 4, 75, 27}));
  }
  // No system menu: the title bar cannot close it.
  SendMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(w.visible());
  EXPECT_TRUE(IsWindowVisible(form));
}

// Closing through the title bar: the main window's close ends the loop,
// another window only hides.
TEST_F(NativeGuiOnDisplay, ClosingTheMainWindowEndsTheLoop) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  windows.memo().show();
  SendMessageW(windowOf(windows.memo()), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(windowOf(windows.memo())));
  EXPECT_FALSE(app_->terminated());

  PostMessageW(windowOf(windows.setup()), WM_CLOSE, 0, 0);
  app_->run();  // shows the setup window, then takes the close
  EXPECT_TRUE(app_->terminated());
}

TEST_F(NativeGuiOnDisplay, ClosingTheHiddenMainWindowEndsTheLoopToo) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  app_->setShowMainForm(false);
  // A handler of a shown window closes the hidden main window, as the
  // updater window's OK does.
  windows.memo().BClose->onClick = [&](gui::Object*) { windows.setup().close(); };
  windows.memo().show();
  PostMessageW(windowOf(*windows.memo().BClose), BM_CLICK, 0, 0);
  app_->run();
  EXPECT_TRUE(app_->terminated());
  EXPECT_FALSE(windows.setup().visible());
}

// Message boxes speak German on any Windows, stand in the middle of the
// screen, show the symbol of their kind and answer with the button pressed.
TEST_F(NativeGuiOnDisplay, MessageBoxesHaveGermanButtonsAndAnswerWithThePressedOne) {
  using gui::Button;
  using gui::MessageKind;
  struct Case {
    MessageKind kind;
    std::vector<Button> buttons;
    int press;
    Str title;
    std::vector<Str> captions;
    bool icon;
    Button answer;
  };
  const Case cases[] = {
      {MessageKind::Confirmation, {Button::Yes, Button::No}, IDNO, u"Bestätigen", {u"&Ja", u"&Nein"}, true, Button::No},
      {MessageKind::Confirmation,
       {Button::Yes, Button::No},
       IDYES,
       u"Bestätigen",
       {u"&Ja", u"&Nein"},
       true,
       Button::Yes},
      {MessageKind::Warning,
       {Button::Ok, Button::Cancel},
       IDCANCEL,
       u"Warnung",
       {u"OK", u"Abbrechen"},
       true,
       Button::Cancel},
      {MessageKind::Information, {Button::Ok}, IDOK, u"Informationen", {u"OK"}, true, Button::Ok},
      {MessageKind::Error, {Button::Ok}, IDOK, u"Fehler", {u"OK"}, true, Button::Ok},
      {MessageKind::Plain, {Button::Ok}, IDOK, u"Setup", {u"OK"}, false, Button::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.title));
    SeenBox seen;
    DialogUser user([&](HWND box) {
      seen = look(box);
      press(box, c.press);
    });
    const Button answer = app_->messageBox(c.kind, u"Weiter?", c.buttons);
    ASSERT_TRUE(user.finished());
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(seen.title, c.title);
    EXPECT_EQ(seen.text, u"Weiter?");
    EXPECT_EQ(seen.captions, c.captions);
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_NEAR(seen.centre.x, screenCentre().x, 1);
    EXPECT_NEAR(seen.centre.y, screenCentre().y, 1);
  }
}

// An error that escapes a click handler shows in an error box titled
// "Setup", with the full stop, and the program goes on.
TEST_F(NativeGuiOnDisplay, ErrorFromAClickHandlerShowsInAnErrorBox) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  TFSetup& s = windows.setup();
  s.show();
  s.BLanguage->onClick = [](gui::Object*) { throw std::runtime_error("Datei fehlt"); };
  SeenBox seen;
  DialogUser user([&](HWND box) {
    seen = look(box);
    press(box, IDOK);
  });
  SendMessageW(windowOf(*s.BLanguage), BM_CLICK, 0, 0);
  ASSERT_TRUE(user.finished());
  EXPECT_EQ(seen.title, u"Setup");
  EXPECT_EQ(seen.text, u"Datei fehlt.");
  EXPECT_TRUE(seen.icon);
  EXPECT_TRUE(IsWindowVisible(windowOf(s)));
}

// The folder dialog opens in the start folder, the file dialog in its
// initial folder with the proposed name and the filter's entries.
TEST_F(NativeGuiOnDisplay, FolderAndFileDialogsOpenWhereTheyAreTold) {
  test::TestMachine machine;
  const Str folder = machine.scratch() + u"Ziel";
  test::writeTestFile(folder + u"\\de.ini", "[x]\r\n");

  // The name typed is taken in the folder the dialog opened in.
  DialogUser folderUser([](HWND dialog) {
    SetWindowTextW(FindWindowExW(dialog, nullptr, L"Edit", nullptr), L"Ziel");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  const auto chosenFolder = app_->chooseFolder(machine.scratch());
  ASSERT_TRUE(folderUser.finished());
  EXPECT_EQ(chosenFolder, folder);

  Str firstFilter;
  LRESULT filterCount = 0;
  DialogUser fileUser([&](HWND dialog) {
    HWND types = GetDlgItem(dialog, 0x470);  // cmb1: the file types
    filterCount = SendMessageW(types, CB_GETCOUNT, 0, 0);
    wchar_t first[256] = {};
    if (filterCount > 0) SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    firstFilter = reinterpret_cast<const char16_t*>(first);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  const auto chosenFile = app_->chooseFile(folder, u"de.ini", u"Sprachdateien (*.ini)|*.ini|Alle Dateien|*.*");
  ASSERT_TRUE(fileUser.finished());
  EXPECT_EQ(chosenFile, folder + u"\\de.ini");
  EXPECT_EQ(filterCount, 2);
  EXPECT_EQ(firstFilter, u"Sprachdateien (*.ini)");

  DialogUser cancelUser([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(app_->chooseFolder(folder), std::nullopt);
  ASSERT_TRUE(cancelUser.finished());
}

TEST_F(NativeGuiOnDisplay, HourglassCoversTheProgramsWindows) {
  ProgramWindows windows(*app_, u"C:\\dist\\Setup.exe");
  windows.wait().show();
  HWND form = windowOf(windows.wait());
  EXPECT_EQ(clientSize(form).cx, 124);
  EXPECT_EQ(clientSize(form).cy, 39);
  EXPECT_FALSE(GetWindowLongPtrW(form, GWL_STYLE) & WS_CAPTION);
  const LOGFONTW label = fontOf(windowOf(*windows.wait().Label1));
  EXPECT_EQ(label.lfHeight, -16);
  EXPECT_STREQ(label.lfFaceName, L"Tahoma");

  app_->setCursor(gui::Cursor::Hourglass);
  EXPECT_TRUE(SendMessageW(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(form), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  app_->setCursor(gui::Cursor::Default);
  SendMessageW(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(form), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace
}  // namespace orvel
