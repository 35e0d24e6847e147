// The DPI a window is shown at, and the system's sizes at that DPI. The
// functions that know a window's own monitor came with Windows 10 1607; on
// older systems the program is system-DPI aware and every window has the
// system's DPI.
#include "gui/win32/native.h"

namespace orvel::gui::native {
namespace {

// A function of user32 that older systems lack, or null.
template <class Function>
Function user32Function(const char* name) {
  static const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  FARPROC found = user32 ? GetProcAddress(user32, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);

int systemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int windowDpi(HWND hwnd) {
  static const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (hwnd && getDpiForWindow)
    if (const UINT dpi = getDpiForWindow(hwnd); dpi > 0) return static_cast<int>(dpi);
  return systemDpi();
}

int scaledToDpi(int value, int dpi) { return MulDiv(value, dpi, kDesignDpi); }

Bounds scaledToDpi(const Bounds& bounds, int dpi) {
  return {scaledToDpi(bounds.left, dpi), scaledToDpi(bounds.top, dpi), scaledToDpi(bounds.width, dpi),
          scaledToDpi(bounds.height, dpi)};
}

void adjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  static const auto adjust = user32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  if (!adjust || !adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int systemMetricForDpi(int index, int dpi) {
  static const auto metric = user32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  return metric ? metric(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

int checkBoxRoom(int dpi) {
  // The box and the gap between it and the caption.
  return systemMetricForDpi(SM_CXMENUCHECK, dpi) + scaledToDpi(4, dpi);
}

}  // namespace orvel::gui::native
