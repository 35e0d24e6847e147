#include "tests/native/desktop.h"

#include <algorithm>
#include <thread>

namespace orvel::native {
namespace {

constexpr UINT kAnswerLimitMs = 2000;
// The dialog manager's ids of a file dialog's name field: edt1, or the
// combo box cmb13 that holds one.
constexpr int kFileNameEdit = 0x480;
constexpr int kFileNameCombo = 0x47c;

struct WindowSearch {
  DWORD processId;
  bool visibleOnly;
  std::vector<HWND> found;
};

// Enumeration callbacks are named stdcall functions: a lambda does not
// convert to WNDENUMPROC in the 32-bit build.
BOOL CALLBACK collectProcessWindow(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(hwnd))) search->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK collectChild(HWND hwnd, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> windowsOf(DWORD processId, bool visibleOnly) {
  WindowSearch search{processId, visibleOnly, {}};
  EnumWindows(collectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// WM_SETTEXT crosses the process boundary (the system copies the text);
// bounded so that a hung program cannot hang the driver.
void sendText(HWND hwnd, const std::wstring& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kAnswerLimitMs,
                      &result);
}

HWND fileNameField(HWND dialog) {
  if (HWND edit = GetDlgItem(dialog, kFileNameEdit)) return edit;
  if (HWND combo = GetDlgItem(dialog, kFileNameCombo)) {
    if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
    return combo;
  }
  return FindWindowExW(dialog, nullptr, L"Edit", nullptr);
}

void typeAndConfirm(HWND dialog, const std::wstring& path) {
  HWND field = fileNameField(dialog);
  if (field) sendText(field, path);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

}  // namespace

bool waitUntil(const std::function<bool()>& ready, Millis limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(30ms);
  }
}

std::wstring textOf(HWND hwnd) {
  // Only an edit field keeps its text to itself; the caption of a window,
  // label or button the system keeps, and reads without asking the program,
  // which may be busy.
  if (classOf(hwnd) != L"Edit") {
    wchar_t caption[1024] = {};
    GetWindowTextW(hwnd, caption, 1024);
    return caption;
  }
  const auto length = static_cast<size_t>(ask(hwnd, WM_GETTEXTLENGTH));
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kAnswerLimitMs, &copied))
    return {};
  text.resize(std::min<size_t>(copied, length));
  return text;
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
  return out;
}

std::string describeWindows(DWORD processId) {
  std::string out;
  for (HWND hwnd : visibleWindows(processId)) {
    out += "\n  " + utf8(classOf(hwnd)) + " \"" + utf8(textOf(hwnd)) + "\"";
    if (classOf(hwnd) == L"#32770") out += ": \"" + utf8(readMessageBox(hwnd).text) + "\"";
  }
  return out.empty() ? "no window" : "windows:" + out;
}

std::wstring classOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  // The common controls' classes may carry their version ("6.0...!Button");
  // the system's own are spelt in either case ("BUTTON", "Button").
  std::wstring result = name;
  if (const size_t bang = result.rfind(L'!'); bang != std::wstring::npos) result.erase(0, bang + 1);
  if (lstrcmpiW(result.c_str(), L"Button") == 0) return L"Button";
  if (lstrcmpiW(result.c_str(), L"Edit") == 0) return L"Edit";
  if (lstrcmpiW(result.c_str(), L"Static") == 0) return L"Static";
  return result;
}

void PrintTo(const Rect& r, std::ostream* out) {
  *out << "{" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << "}";
}

Rect clientRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return {0, 0, r.right, r.bottom};
}

Rect rectIn(HWND parent, HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Rect screenRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::vector<HWND> visibleWindows(DWORD processId) { return windowsOf(processId, true); }
std::vector<HWND> allWindows(DWORD processId) { return windowsOf(processId, false); }

HWND findWindow(DWORD processId, const std::wstring& caption) {
  for (HWND hwnd : visibleWindows(processId))
    if (textOf(hwnd) == caption) return hwnd;
  return nullptr;
}

HWND waitForWindow(DWORD processId, const std::wstring& caption, Millis limit) {
  HWND found = nullptr;
  waitUntil([&] { return (found = findWindow(processId, caption)) != nullptr; }, limit);
  return found;
}

HWND waitForDialog(DWORD processId, Millis limit) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        for (HWND hwnd : visibleWindows(processId))
          if (classOf(hwnd) == L"#32770") return (found = hwnd) != nullptr;
        return false;
      },
      limit);
  if (found) std::this_thread::sleep_for(150ms);  // let it finish showing: captions, place, focus
  return found;
}

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND findControl(HWND parent, const std::wstring& className, const std::wstring& caption) {
  for (HWND hwnd : descendants(parent))
    if ((className.empty() || classOf(hwnd) == className) && textOf(hwnd) == caption) return hwnd;
  return nullptr;
}

std::vector<HWND> controlsOfClass(HWND parent, const std::wstring& className) {
  std::vector<HWND> found;
  for (HWND hwnd : descendants(parent))
    if (GetParent(hwnd) == parent && classOf(hwnd) == className) found.push_back(hwnd);
  std::sort(found.begin(), found.end(), [parent](HWND a, HWND b) {
    const Rect ra = rectIn(parent, a);
    const Rect rb = rectIn(parent, b);
    return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
  });
  return found;
}

LRESULT ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerLimitMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

bool waitUntilIdle(HWND window, Millis limit) {
  // A sent message is taken only where the program reads its messages.
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(limit.count()), &result) != 0;
}

bool isChecked(HWND button) { return ask(button, BM_GETCHECK) == BST_CHECKED; }
bool isEnabled(HWND hwnd) { return IsWindowEnabled(hwnd) != FALSE; }

void typeInto(HWND edit, const std::wstring& text) { sendText(edit, text); }

void click(HWND button) {
  if (classOf(button) == L"Button") {
    PostMessageW(button, BM_CLICK, 0, 0);
    return;
  }
  // A control of the program's own (a flat picture button) knows only the
  // mouse: pressed and let go over its middle.
  const Rect area = clientRect(button);
  const LPARAM middle = MAKELPARAM(area.width / 2, area.height / 2);
  PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageW(button, WM_LBUTTONUP, 0, middle);
}

bool setChecked(HWND box, bool checked) {
  if (isChecked(box) == checked) return true;
  click(box);
  return waitUntil([&] { return isChecked(box) == checked; }, 5s);
}

MessageBoxSeen readMessageBox(HWND box) {
  MessageBoxSeen seen;
  seen.title = textOf(box);
  for (HWND child : descendants(box)) {
    const std::wstring name = classOf(child);
    if (name == L"Button") {
      seen.buttons.push_back(textOf(child));
    } else if (name == L"Static" && (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON &&
               seen.text.empty()) {
      seen.text = textOf(child);
    }
  }
  return seen;
}

bool pressButton(HWND box, const std::wstring& caption) {
  HWND button = findControl(box, L"Button", caption);
  if (!button) return false;
  // The id the box ends with: the one of the button, as a click sends it.
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return true;
}

void answerFileDialog(HWND dialog, const std::wstring& path) { typeAndConfirm(dialog, path); }
void answerFolderDialog(HWND dialog, const std::wstring& path) { typeAndConfirm(dialog, path); }

void parkMousePointer() { SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1); }

}  // namespace orvel::native
