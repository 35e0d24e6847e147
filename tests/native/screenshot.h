// Screenshots of windows as the screen shows them, saved as PNG.
#pragma once

#include <windows.h>

#include <string>

namespace orvel::native {

// Copies the window's rectangle, frame included, from the screen and writes
// it to `path` as PNG. Whatever covers the window is in the picture too, as
// a user would see it. Whether the file was written.
bool saveScreenshot(HWND window, const std::wstring& path);

}  // namespace orvel::native
