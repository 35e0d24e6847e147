// Every caption of the program's four windows fits its control as the real
// windows show it: measured with the control's own font
// (GetTextExtentPoint32W) against its client area, with the German texts
// and each language file of the distribution. At the DPI this process runs
// with, and at 120, 144 and 192 DPI in copies of this program that Wine
// starts with that DPI (its LogPixels value), where the windows and their
// controls must also be that many times as large as at 96 DPI.
//
// These need a desktop: under Wine run the binary inside xvfb-run; without a
// display every case skips itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/windows.h"
#include "gui/backend.h"
#include "tests/support/machine_state.h"
#include "tests/support/test_machine.h"
#include "updater/updater.h"

namespace orvel {
namespace {

using gui::Component;
using gui::Kind;

// Set in a copy of this program started for another DPI: the DPI it must see.
constexpr char kDpiVariable[] = "ORVEL_TEST_DPI";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

HWND windowOf(const gui::Form& form) { return static_cast<HWND>(form.peer()->nativeHandle()); }
HWND windowOf(const Component& c) { return static_cast<HWND>(c.form().peer()->controlHandle(c)); }

// Windows made from here on lay themselves out for their monitor's DPI, as
// the shipped program's do (its manifest asks for it); without it the
// system would show them at 96 DPI.
void becomeDpiAware() {
  using SetContext = HANDLE(WINAPI*)(HANDLE);
  const auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (set) set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}

int dpiOf(HWND hwnd) {
  using GetDpi = UINT(WINAPI*)(HWND);
  const auto get = reinterpret_cast<GetDpi>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get) return static_cast<int>(get(hwnd));
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The text a control shows: "&" marks the next letter and is not drawn.
std::wstring drawnText(HWND hwnd) {
  wchar_t text[1024] = {};
  GetWindowTextW(hwnd, text, 1024);
  std::wstring shown;
  for (const wchar_t* c = text; *c; ++c) {
    if (*c == L'&' && c[1] != L'\0') ++c;
    shown.push_back(*c);
  }
  return shown;
}

std::wstring classOf(HWND hwnd) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  return name;
}

SIZE extentIn(HWND hwnd, const std::wstring& text) {
  SIZE size{0, 0};
  HDC dc = GetDC(hwnd);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);

  SelectObject(dc, previous);
  ReleaseDC(hwnd, dc);
  return size;
}

SIZE clientOf(HWND hwnd) {
  RECT area{};
  GetClientRect(hwnd, &area);
  return {area.right, area.bottom};
}

// How much of a caption's line its parent shows: a child that reaches
// beyond its parent's client area, or whose line lies under a sibling, is
// cut there. The line runs across the top of a group's frame and through
// the middle of other controls.
int visibleRight(HWND hwnd, int lineHeight, bool atTop) {
  RECT mine{};
  GetWindowRect(hwnd, &mine);
  if (!atTop) mine.top += (mine.bottom - mine.top - lineHeight) / 2;
  mine.bottom = mine.top + lineHeight;
  HWND parent = GetParent(hwnd);
  RECT area{};
  GetClientRect(parent, &area);
  MapWindowPoints(parent, HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
  int right = std::min(mine.right, area.right);
  // Siblings above it in the z-order that cover it from the right.
  for (HWND above = GetWindow(hwnd, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    if (!IsWindowVisible(above)) continue;
    RECT other{};
    GetWindowRect(above, &other);
    const bool overlaps = other.top < mine.bottom && other.bottom > mine.top;
    if (overlaps && other.left > mine.left && other.left < right) right = other.left;
  }
  return right - mine.left;
}

struct Caption {
  std::string name;
  HWND hwnd;
  int room;            // what the control needs beside its text: a check box's box
  bool atTop = false;  // a group's frame: the caption runs along its top
};

// The visible captions of one form: buttons, check boxes, labels, a radio
// group's frame and items, a panel's caption.
std::vector<Caption> captionsOf(const gui::Form& form, int dpi) {
  std::vector<Caption> captions;
  const std::string prefix = toUtf8(form.name()) + ".";
  const int box = GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, dpi, 96);
  for (const auto& component : form.components()) {
    HWND hwnd = component->kind() == Kind::Other ? nullptr : windowOf(*component);
    if (!hwnd) continue;
    const std::string name = prefix + toUtf8(component->name());
    switch (component->kind()) {
      case Kind::Button:
      case Kind::Label:
        captions.push_back({name, hwnd, component->kind() == Kind::Button ? MulDiv(6, dpi, 96) : 0});
        break;
      case Kind::CheckBox:
      case Kind::RadioButton:
        captions.push_back({name, hwnd, box});
        break;
      case Kind::RadioGroup:
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
          const bool frame = (GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
          captions.push_back({name + (frame ? " frame" : " item"), child, frame ? MulDiv(12, dpi, 96) : box, frame});
        }
        break;
      default:
        break;
    }
  }
  return captions;
}

// A label that wraps its caption: its lines' height, and its longest word,
// which no wrapping can break.
bool wraps(HWND hwnd) {
  return classOf(hwnd) == L"Static" && (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
}
SIZE wrappedExtent(HWND hwnd, const std::wstring& text) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  RECT box{0, 0, clientOf(hwnd).cx, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_CALCRECT | DT_WORDBREAK);
  SelectObject(dc, previous);
  ReleaseDC(hwnd, dc);
  int widest = 0;
  std::wistringstream words(text);
  for (std::wstring word; words >> word;) widest = std::max<int>(widest, extentIn(hwnd, word).cx);
  return {widest, box.bottom};
}

// Each caption's text fits into its control as far as the control is seen.
void expectCaptionsFit(const gui::Form& form, int dpi) {
  for (const Caption& caption : captionsOf(form, dpi)) {
    const std::wstring text = drawnText(caption.hwnd);
    if (text.empty()) continue;
    SCOPED_TRACE(caption.name + " \"" + toUtf8(Str(text.begin(), text.end())) + "\"");
    const SIZE needed = wraps(caption.hwnd) ? wrappedExtent(caption.hwnd, text) : extentIn(caption.hwnd, text);
    const SIZE client = clientOf(caption.hwnd);
    EXPECT_LE(needed.cx + caption.room, std::min<int>(client.cx, visibleRight(caption.hwnd, needed.cy, caption.atTop)))
        << "cut off at " << dpi << " DPI";
    EXPECT_LE(needed.cy, client.cy) << "cut off at " << dpi << " DPI";
  }
}

RECT rectInParent(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Windows and controls are as many times as large as at 96 DPI, within a
// pixel of rounding. Controls with a caption may be wider, for their text;
// a label that wraps its caption is taller, and what lies below it moves
// down by as much, the window growing with it.
void expectScaled(const gui::Form& form, int dpi, bool checkClientSize = true) {
  const auto scaled = [dpi](int designed) { return static_cast<double>(designed) * dpi / 96; };
  // What the labels on the window itself grew by, and where they end as designed.
  std::vector<std::pair<int, int>> taller;
  for (const auto& component : form.components())
    if (component->kind() == Kind::Label && !component->parent()) {
      const RECT r = rectInParent(windowOf(*component));
      const int extra = static_cast<int>(r.bottom - r.top - scaled(component->bounds().height) + 0.5);
      if (extra > 1) taller.emplace_back(component->bounds().top + component->bounds().height, extra);
    }
  const auto shiftOf = [&](const Component& c) {
    int shift = 0;
    if (!c.parent())
      for (const auto& [below, extra] : taller)
        if (c.bounds().top >= below) shift += extra;
    return shift;
  };
  int grown = 0;
  for (const auto& t : taller) grown += t.second;
  const SIZE client = clientOf(windowOf(form));
  if (checkClientSize) {
    EXPECT_NEAR(client.cx, scaled(form.clientWidth()), 1) << toUtf8(form.name());
    EXPECT_NEAR(client.cy, scaled(form.clientHeight()) + grown, 1) << toUtf8(form.name());
  }
  for (const auto& component : form.components()) {
    if (component->kind() == Kind::Other || component->align() != gui::Align::None) continue;
    SCOPED_TRACE(toUtf8(form.name() + u"." + component->name()));
    const RECT r = rectInParent(windowOf(*component));
    const gui::Bounds& b = component->bounds();
    EXPECT_NEAR(r.left, scaled(b.left), 1);
    EXPECT_NEAR(r.top, scaled(b.top) + shiftOf(*component), 1);
    const Kind kind = component->kind();
    const bool grows = kind == Kind::Label || kind == Kind::CheckBox || kind == Kind::Button || kind == Kind::RadioGroup;
    if (grows) {
      EXPECT_GE(r.right - r.left + 1, scaled(b.width));
      if (kind != Kind::Label) {
        EXPECT_NEAR(r.bottom - r.top, scaled(b.height), 1);
      }
    } else {
      EXPECT_NEAR(r.right - r.left, scaled(b.width), 1);
      EXPECT_NEAR(r.bottom - r.top, scaled(b.height), 1);
    }
  }
}

class TextFit : public testing::Test {
 protected:
  void SetUp() override {
    becomeDpiAware();
    auto backend = gui::makeNativeBackend();
    if (!backend) GTEST_SKIP() << "no display to show windows on (run it under xvfb-run)";
    app_ = std::make_unique<gui::Application>(std::move(backend));
  }

  test::TestMachine machine_;
  std::unique_ptr<gui::Application> app_;
};

// German, then each language file: all four windows, every caption.
TEST_F(TextFit, EveryCaptionFitsItsControlInEveryLanguageAtThisDpi) {
  std::unique_ptr<TFUpdater> updater;
  ProgramWindows windows(*app_, test::distributionFolder() + u"Setup.exe", [&] {
    updater = std::make_unique<TFUpdater>(*app_, std::vector<Str>{u"Setup.exe"});
  });
  TFSetup& setup = windows.setup();
  setup.show();
  const int dpi = dpiOf(windowOf(setup));
  if (const char* wanted = std::getenv(kDpiVariable)) {
    ASSERT_EQ(dpi, std::atoi(wanted)) << "LogPixels not taken";
  }
  std::cout << "[ dpi      ] " << dpi << "\n";

  const std::vector<const gui::Form*> forms = {&setup, &windows.memo(), updater.get(), &windows.wait()};
  for (const gui::Form* form : forms) expectScaled(*form, dpi);
  for (const Str file : {u"", u"english.ini", u"espanol.ini", u"dutch.ini"}) {
    SCOPED_TRACE(file.empty() ? "German" : toUtf8(file));
    if (!file.empty()) {
      setup.Sprachdatei = test::distributionFolder() + u"languages\\" + file;
      setup.LiesSprachDatei();
      ASSERT_NE(setup.BInstall->caption(), u"Installieren") << "the file was not read";
    }
    for (const gui::Form* form : forms) expectCaptionsFit(*form, dpi);
  }
}

// Moved to a monitor of 144 DPI and back (WM_DPICHANGED, as Windows sends
// it): the setup window lays itself out again for each, captions fitting.
TEST_F(TextFit, WindowLaysItselfOutAgainWhenItsDpiChanges) {
  ProgramWindows windows(*app_, test::distributionFolder() + u"Setup.exe");
  TFSetup& setup = windows.setup();
  setup.show();
  HWND form = windowOf(setup);
  const int start = dpiOf(form);
  for (const int dpi : {start * 3 / 2, start}) {
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    RECT frame{};
    GetWindowRect(form, &frame);
    SendMessageW(form, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    // The system still draws the frame at the process's DPI, so only the
    // window's inside is measured.
    expectScaled(setup, dpi, false);
    expectCaptionsFit(setup, dpi);
    const LOGFONTW font = [&] {
      LOGFONTW f{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(windowOf(*setup.BInstall), WM_GETFONT, 0, 0)), sizeof f, &f);
      return f;
    }();
    EXPECT_EQ(font.lfHeight, -MulDiv(11, dpi, 96));
  }
}

// LogPixels of this prefix's user for as long as the object lives.
class LogPixelsSetting {
 public:
  explicit LogPixelsSetting(DWORD dpi) {
    DWORD size = sizeof old_;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &old_, &size) ==
           ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi, sizeof dpi);
  }
  ~LogPixelsSetting() {
    if (had_)
      RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &old_, sizeof old_);
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
  }
  LogPixelsSetting(const LogPixelsSetting&) = delete;
  LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;

 private:
  DWORD old_ = 96;
  bool had_ = false;
};

// Runs the case above in a copy of this program started at `dpi`; its exit
// code, with its output in `output`.
DWORD runAtDpi(DWORD dpi, std::string& output) {
  LogPixelsSetting setting(dpi);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring log = std::wstring(temp) + L"orvel-text-fit-" + std::to_wstring(dpi) + L".txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1000;
  SetEnvironmentVariableA(kDpiVariable, std::to_string(dpi).c_str());
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=TextFit.EveryCaptionFitsItsControlInEveryLanguageAtThisDpi";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kDpiVariable, nullptr);
  CloseHandle(out);
  DWORD code = 1001;
  if (started) {
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  std::ifstream in{std::filesystem::path(log)};
  std::ostringstream text;
  text << in.rdbuf();
  output = text.str();
  DeleteFileW(log.c_str());
  return code;
}

// 120, 144 and 192 DPI: 125 %, 150 % and 200 %, the laptops' defaults.
TEST_F(TextFit, EveryCaptionFitsAndEveryWindowScalesAtHigherDpi) {
  if (std::getenv(kDpiVariable)) GTEST_SKIP() << "the copy for one DPI runs only the case above";
  for (DWORD dpi : {120u, 144u, 192u}) {
    std::string output;
    EXPECT_EQ(runAtDpi(dpi, output), 0u) << "at " << dpi << " DPI:\n" << output;
    EXPECT_NE(output.find("[ dpi      ] " + std::to_string(dpi)), std::string::npos) << output;
  }
}

}  // namespace
}  // namespace orvel
