// What a user sees of another process's windows and does to them, through
// window messages only: top-level windows found by caption, controls by
// caption or by class and place, text typed into edit fields, buttons and
// boxes clicked, message boxes and dialogs answered. Every wait is bounded.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orvel::native {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Polls `ready` until it holds or `limit` has passed; whether it held.
bool waitUntil(const std::function<bool()>& ready, Millis limit);

std::wstring textOf(HWND hwnd);
// UTF-8, for messages.
std::string utf8(const std::wstring& text);
// What a process shows: each visible window's class and caption, and the
// text of a dialog box. For the message of a failed wait.
std::string describeWindows(DWORD processId);
// The class name, with the system classes spelt "Button", "Edit", "Static".
std::wstring classOf(HWND hwnd);

// A rectangle relative to a parent's client area.
struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};
// How gtest prints it.
void PrintTo(const Rect& r, std::ostream* out);

// The window's client size.
Rect clientRect(HWND hwnd);
// The window's rectangle in `parent`'s client coordinates.
Rect rectIn(HWND parent, HWND hwnd);
// The window's rectangle on the screen, frame included.
Rect screenRect(HWND hwnd);

// The visible top-level windows of a process, in z-order.
std::vector<HWND> visibleWindows(DWORD processId);
// Its top-level windows, hidden ones included.
std::vector<HWND> allWindows(DWORD processId);
// The visible top-level window of the process with this caption, or null.
HWND findWindow(DWORD processId, const std::wstring& caption);
// Waits for it; null when it did not come within `limit`.
HWND waitForWindow(DWORD processId, const std::wstring& caption, Millis limit);
// A visible dialog box (#32770: message box, file or folder dialog) of the
// process, waited for; null when none came.
HWND waitForDialog(DWORD processId, Millis limit);

// Controls below a window, at any depth.
std::vector<HWND> descendants(HWND parent);
// The first control with this class (any when empty) and caption, or null.
HWND findControl(HWND parent, const std::wstring& className, const std::wstring& caption);
// The controls of a class directly on `parent`, top to bottom, then left to right.
std::vector<HWND> controlsOfClass(HWND parent, const std::wstring& className);

// Sends a message that carries no pointer and answers at once; 0 when the
// window does not answer within two seconds.
LRESULT ask(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Waits until the window's program takes messages again: the handler that
// runs has returned (or a modal box waits for an answer). Whether it did.
bool waitUntilIdle(HWND window, Millis limit = 20s);
bool isChecked(HWND button);
bool isEnabled(HWND hwnd);

// Types `text` into an edit field: replaces its text, and the field tells
// its window of the change (EN_CHANGE) as it does when a user types.
void typeInto(HWND edit, const std::wstring& text);
// Clicks a button, check box or radio button (BM_CLICK), or another
// control with the mouse. Posted: the click may open a modal box, and the
// driver must not wait for that box to be answered.
void click(HWND button);
// Clicks a check box until it shows `checked`; whether it does.
bool setChecked(HWND box, bool checked);

// What a message box says.
struct MessageBoxSeen {
  std::wstring title;
  std::wstring text;
  std::vector<std::wstring> buttons;
};
MessageBoxSeen readMessageBox(HWND box);
// Presses the box's button with this caption ("&Ja", "&Nein", "OK"); false
// when it has none.
bool pressButton(HWND box, const std::wstring& caption);

// Answers a file-open dialog with a path (a bare name is taken in the folder
// the dialog shows): types it as the file name and presses the OK button.
void answerFileDialog(HWND dialog, const std::wstring& path);
// Answers the folder-picking dialog with a full path the same way.
void answerFolderDialog(HWND dialog, const std::wstring& path);

// Moves the mouse pointer off the program's windows, so that no tooltip or
// hover highlight shows in a screenshot.
void parkMousePointer();

}  // namespace orvel::native
