#include "tests/native/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace orvel::native {
namespace {

struct Place {
  const char* name;
  HWND hwnd;
  Rect designed;
  bool grows = false;  // a control with a caption: wider for a wider text
};

// A designed length at `dpi`, within a pixel of rounding.
void expectScaled(int actual, int designed, int dpi, const char* what) {
  EXPECT_NEAR(actual, designed * dpi / 96.0, 1.0) << what;
}

void expectClientSize(HWND form, int width, int height) {
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(clientRect(form), (Rect{0, 0, width, height})) << "client area";
}

// Each control at its designed place at `dpi`. `wrapsFrom`: the designed
// top from which a label may wrap onto more lines; what lies lower moves
// down by the lines it adds (by `shift` pixels).
void expectPlaces(HWND parent, const std::vector<Place>& places, int dpi = 96, int wrapsFrom = 1 << 20,
                  int shift = 0) {
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    ASSERT_NE(place.hwnd, nullptr) << "not found";
    const Rect actual = rectIn(parent, place.hwnd);
    const Rect& d = place.designed;
    expectScaled(actual.left, d.left, dpi, "left");
    expectScaled(actual.top - (d.top > wrapsFrom ? shift : 0), d.top, dpi, "top");
    if (place.grows) {
      EXPECT_GE(actual.width + 1, d.width * dpi / 96.0);
    } else {
      expectScaled(actual.width, d.width, dpi, "width");
    }
    if (d.top == wrapsFrom) {
      EXPECT_GE(actual.height + 1, d.height * dpi / 96.0);
    } else {
      expectScaled(actual.height, d.height, dpi, "height");
    }
  }
}

}  // namespace

int screenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

void expectSetupLayout(const SetupWindow& w, int dpi) {
  SCOPED_TRACE("setup window at " + std::to_string(dpi) + " DPI");
  ASSERT_EQ(w.missing(), "");
  // The second hint may wrap onto more lines where its text does not fit
  // beside the close button; the user folder below it moves down, and the
  // window grows by as much.
  const Rect hint = rectIn(w.form, w.LHint2);
  const int shift = std::max(0, hint.height - static_cast<int>(13 * dpi / 96.0 + 0.5));
  const Rect client = clientRect(w.form);
  expectScaled(client.width, 504, dpi, "client width");
  expectScaled(client.height - shift, 236, dpi, "client height");
  expectPlaces(w.form, {
                           {"LFolder", w.LFolder, {16, 16, 172, 13}, true},
                           {"EFolder", w.EFolder, {32, 40, 321, 21}},
                           {"SBOrdner", w.SBOrdner, {368, 40, 23, 22}},
                           {"BInstall", w.BInstall, {416, 32, 75, 25}, true},
                           {"RGRegOrIni", w.RGRegOrIni, {16, 72, 169, 73}, true},
                           {"BDeinstall", w.BDeinstall, {416, 76, 75, 25}, true},
                           {"CBStartmenu", w.CBStartmenu, {200, 80, 185, 17}, true},
                           {"CBDesktopSymbol", w.CBDesktopSymbol, {200, 104, 169, 17}, true},
                           {"BLanguage", w.BLanguage, {416, 120, 75, 25}, true},
                           {"CBPortableApplication", w.CBPortableApplication, {200, 128, 209, 17}, true},
                           {"LHint1", w.LHint1, {16, 160, 277, 13}, true},
                           {"BClose", w.BClose, {416, 164, 75, 25}, true},
                           {"LHint2", w.LHint2, {16, 176, 332, 13}, true},
                           {"EUserfolder", w.EUserfolder, {32, 200, 321, 21}},
                           {"SBUserIni", w.SBUserIni, {368, 200, 23, 22}},
                       },
               dpi, 176, shift);
  // The two choices lie inside the radio group, one under the other.
  const Rect group = clientRect(w.RGRegOrIni);
  const Rect registry = rectIn(w.RGRegOrIni, w.RegistryItem);
  const Rect ini = rectIn(w.RGRegOrIni, w.IniItem);
  EXPECT_GE(registry.left, 0);
  EXPECT_LE(registry.left + registry.width, group.width);
  EXPECT_LT(registry.top + registry.height, ini.top + 1);
  EXPECT_LE(ini.top + ini.height, group.height);
}

void expectLogLayout(const LogWindow& w) {
  SCOPED_TRACE("log window");
  ASSERT_EQ(w.missing(), "");
  expectClientSize(w.form, 693, 257);
  expectPlaces(w.form, {
                           {"MInstallation", w.MInstallation, {0, 0, 693, 201}},
                           {"BClose", w.BClose, {608, 216, 75, 25}},
                       });
}

void expectUpdaterLayout(const UpdaterWindow& w) {
  SCOPED_TRACE("updater window");
  ASSERT_EQ(w.missing(), "");
  expectClientSize(w.form, 664, 251);
  expectPlaces(w.form, {
                           {"Memo", w.Memo, {0, 0, 664, 216}},
                           {"Panel1", w.Panel1, {0, 216, 664, 35}},
                       });
  expectPlaces(w.Panel1, {
                             {"BOK", w.BOK, {585, 4, 75, 27}},
                             {"BRetry", w.BRetry, {504, 4, 75, 27}},
                         });
  // Placed at the top left of the screen.
  const Rect frame = screenRect(w.form);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
}

void expectWaitLayout(const WaitWindow& w) {
  SCOPED_TRACE("wait window");
  ASSERT_NE(w.form, nullptr);
  ASSERT_NE(w.Label1, nullptr) << "Label1";
  expectClientSize(w.form, 124, 39);
  expectPlaces(w.form, {{"Label1", w.Label1, {16, 8, 82, 19}, true}});
  // Borderless: the window is its client area.
  EXPECT_EQ(screenRect(w.form).width, 124);
  EXPECT_EQ(screenRect(w.form).height, 39);
}

}  // namespace orvel::native
