#include "platform/errorbox.h"

#include "platform/win32/win32.h"

namespace orvel {

// No window exists yet, so the box has no owner; task-modal still keeps any
// other window of the thread from being used while it is shown.
void showErrorBox(const Str& title, const Str& text) {
  MessageBoxW(nullptr, win32::wide(text), win32::wide(title), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace orvel
