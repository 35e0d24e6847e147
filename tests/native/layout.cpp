#include "tests/native/layout.h"

#include <gtest/gtest.h>

namespace orvel::native {
namespace {

struct Place {
  const char* name;
  HWND hwnd;
  Rect designed;
  bool label = false;
};

void expectClientSize(HWND form, int width, int height) {
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(clientRect(form), (Rect{0, 0, width, height})) << "client area";
}

void expectPlaces(HWND parent, const std::vector<Place>& places) {
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    ASSERT_NE(place.hwnd, nullptr) << "not found";
    const Rect actual = rectIn(parent, place.hwnd);
    if (place.label) {
      EXPECT_EQ(actual.left, place.designed.left);
      EXPECT_EQ(actual.top, place.designed.top);
      EXPECT_GE(actual.width, place.designed.width);
      EXPECT_GE(actual.height, place.designed.height);
    } else {
      EXPECT_EQ(actual, place.designed);
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

void expectSetupLayout(const SetupWindow& w) {
  SCOPED_TRACE("setup window");
  ASSERT_EQ(w.missing(), "");
  expectClientSize(w.form, 504, 236);
  expectPlaces(w.form, {
                           {"LFolder", w.LFolder, {16, 16, 172, 13}, true},
                           {"EFolder", w.EFolder, {32, 40, 321, 21}},
                           {"SBOrdner", w.SBOrdner, {368, 40, 23, 22}},
                           {"BInstall", w.BInstall, {416, 32, 75, 25}},
                           {"RGRegOrIni", w.RGRegOrIni, {16, 72, 169, 73}},
                           {"BDeinstall", w.BDeinstall, {416, 76, 75, 25}},
                           {"CBStartmenu", w.CBStartmenu, {200, 80, 185, 17}},
                           {"CBDesktopSymbol", w.CBDesktopSymbol, {200, 104, 169, 17}},
                           {"BLanguage", w.BLanguage, {416, 120, 75, 25}},
                           {"CBPortableApplication", w.CBPortableApplication, {200, 128, 209, 17}},
                           {"LHint1", w.LHint1, {16, 160, 277, 13}, true},
                           {"BClose", w.BClose, {416, 164, 75, 25}},
                           {"LHint2", w.LHint2, {16, 176, 332, 13}, true},
                           {"EUserfolder", w.EUserfolder, {32, 200, 321, 21}},
                           {"SBUserIni", w.SBUserIni, {368, 200, 23, 22}},
                       });
  // The two choices lie inside the radio group, one under the other.
  const Rect registry = rectIn(w.RGRegOrIni, w.RegistryItem);
  const Rect ini = rectIn(w.RGRegOrIni, w.IniItem);
  EXPECT_GE(registry.left, 0);
  EXPECT_LE(registry.left + registry.width, 169);
  EXPECT_LT(registry.top + registry.height, ini.top + 1);
  EXPECT_LE(ini.top + ini.height, 73);
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
