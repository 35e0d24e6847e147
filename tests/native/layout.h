// The designed layout of Setup.exe's windows at 96 dots per inch, checked on
// the windows the program shows: each window's client size and each
// control's rectangle in its parent's client area. Controls with a caption
// may be wider than designed, so that this system's font shows their whole
// caption.
#pragma once

#include "tests/native/program_windows.h"

namespace orvel::native {

// The screen's dots per inch (the layout's pixels are at 96).
int screenDpi();

// At `dpi` (the program's, which Wine takes from LogPixels as it starts):
// every length that many times as large.
void expectSetupLayout(const SetupWindow& window, int dpi = 96);
void expectLogLayout(const LogWindow& window);
void expectUpdaterLayout(const UpdaterWindow& window);
void expectWaitLayout(const WaitWindow& window);

}  // namespace orvel::native
