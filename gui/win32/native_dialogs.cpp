// Modal dialogs of the native backend: message boxes with German buttons
// centred on the screen, the folder-picking dialog and the file-open dialog.
#include "gui/win32/native.h"

#include <commdlg.h>
#include <shobjidl.h>

#include <algorithm>

namespace orvel::gui::native {
namespace {

using win32::wide;

// A standard box's buttons, left to right, with the ids it answers.
struct BoxButtons {
  UINT type;
  std::vector<std::pair<Button, int>> buttons;
};

bool requests(const std::vector<Button>& buttons, Button button) {
  return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

// The standard box that offers the requested buttons: Yes/No (with Cancel),
// or OK (with Cancel).
BoxButtons boxFor(const std::vector<Button>& requested) {
  const bool cancel = requests(requested, Button::Cancel);
  if (requests(requested, Button::Yes) || requests(requested, Button::No)) {
    if (cancel) return {MB_YESNOCANCEL, {{Button::Yes, IDYES}, {Button::No, IDNO}, {Button::Cancel, IDCANCEL}}};
    return {MB_YESNO, {{Button::Yes, IDYES}, {Button::No, IDNO}}};
  }
  if (cancel) return {MB_OKCANCEL, {{Button::Ok, IDOK}, {Button::Cancel, IDCANCEL}}};
  return {MB_OK, {{Button::Ok, IDOK}}};
}

// The first requested button is the default one.
UINT defaultButtonFlag(const BoxButtons& box, Button first) {
  static constexpr UINT flags[] = {MB_DEFBUTTON1, MB_DEFBUTTON2, MB_DEFBUTTON3};
  for (size_t i = 0; i < box.buttons.size() && i < 3; ++i)
    if (box.buttons[i].first == first) return flags[i];
  return MB_DEFBUTTON1;
}

UINT iconFlag(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return MB_ICONWARNING;
    case MessageKind::Error:
      return MB_ICONERROR;
    case MessageKind::Information:
      return MB_ICONINFORMATION;
    case MessageKind::Confirmation:
      return MB_ICONQUESTION;
    case MessageKind::Plain:
      return 0;
  }
  return 0;
}

// The box's answer as one of the requested buttons. Closing a box without
// a Cancel button (Esc, the close button) counts as its last button.
Button answerFor(int id, const BoxButtons& box, const std::vector<Button>& requested) {
  for (const auto& [button, buttonId] : box.buttons)
    if (buttonId == id && requests(requested, button)) return button;
  if (requests(requested, Button::Cancel)) return Button::Cancel;
  if (requests(requested, Button::No)) return Button::No;
  return requested.back();
}

// Marks a box that has been given its captions and place: it is activated
// again whenever the user comes back to it, and must not jump back then.
constexpr wchar_t kPreparedProperty[] = L"OrvelMessageBoxPrepared";

bool isDialogWindow(HWND hwnd) {
  wchar_t className[16] = {};
  GetClassNameW(hwnd, className, 16);
  return lstrcmpW(className, L"#32770") == 0;
}

void labelButtons(HWND box) {
  // The OK button of a box that has nothing else may carry the Cancel id.
  const bool onlyButton = !GetDlgItem(box, IDOK) && !GetDlgItem(box, IDYES) && !GetDlgItem(box, IDNO);
  const std::pair<int, Button> labels[] = {{IDYES, Button::Yes},
                                           {IDNO, Button::No},
                                           {IDOK, Button::Ok},
                                           {IDCANCEL, onlyButton ? Button::Ok : Button::Cancel}};
  for (const auto& [id, button] : labels)
    if (GetDlgItem(box, id)) SetDlgItemTextW(box, id, wide(buttonCaption(button)));
}

void centreOnScreen(HWND box) {
  RECT frame{};
  GetWindowRect(box, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The system's message box speaks the system's language; these speak German
// whatever it is, and stand in the middle of the screen.
LRESULT CALLBACK messageBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto hwnd = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && isDialogWindow(hwnd) && !GetPropW(hwnd, kPreparedProperty)) {
    SetPropW(hwnd, kPreparedProperty, reinterpret_cast<HANDLE>(1));
    labelButtons(hwnd);
    centreOnScreen(hwnd);
  } else if (code == HCBT_DESTROYWND) {
    RemovePropW(hwnd, kPreparedProperty);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook for the length of one message box.
class MessageBoxHook {
 public:
  MessageBoxHook() : hook_(SetWindowsHookExW(WH_CBT, messageBoxHook, nullptr, GetCurrentThreadId())) {}
  ~MessageBoxHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
  }
  MessageBoxHook(const MessageBoxHook&) = delete;
  MessageBoxHook& operator=(const MessageBoxHook&) = delete;

 private:
  HHOOK hook_;
};

// "Text|*.ext|..." as the file dialog wants it: NUL between the parts and
// two NULs at the end.
std::vector<wchar_t> dialogFilter(const Str& filter) {
  std::vector<wchar_t> result;
  for (char16_t c : filter) result.push_back(c == u'|' ? L'\0' : static_cast<wchar_t>(c));
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

}  // namespace

Button NativeBackend::messageBox(const MessageBoxRequest& request) {
  const std::vector<Button> requested = request.buttons.empty() ? std::vector<Button>{Button::Ok} : request.buttons;
  const BoxButtons box = boxFor(requested);
  HWND owner = dialogOwner();
  // Modal for all the program's windows, also when none of them is active.
  const UINT flags = box.type | iconFlag(request.kind) | defaultButtonFlag(box, requested.front()) |
                     (owner ? MB_APPLMODAL : MB_TASKMODAL);
  int id = 0;
  {
    MessageBoxHook hook;
    id = MessageBoxW(owner, wide(request.text), wide(request.title), flags);
  }
  return answerFor(id, box, requested);
}

std::optional<Str> NativeBackend::folderDialog(const Str& start) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              reinterpret_cast<void**>(dialog.receive()))))
    return std::nullopt;
  dialog->SetOptions(FOS_PICKFOLDERS);
  // A start folder that does not parse leaves the choice to the shell.
  ComPtr<IShellItem> folder;
  if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(wide(start), nullptr, IID_IShellItem,
                                                              reinterpret_cast<void**>(folder.receive()))))
    dialog->SetFolder(folder.get());
  if (FAILED(dialog->Show(dialogOwner()))) return std::nullopt;  // cancelled
  ComPtr<IShellItem> chosen;
  if (FAILED(dialog->GetResult(chosen.receive()))) return std::nullopt;
  PWSTR path = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return std::nullopt;
  Str result = win32::fromWide(path);
  CoTaskMemFree(path);
  return result;
}

std::optional<Str> NativeBackend::fileDialog(const Str& initialDir, const Str& fileName, const Str& filter) {
  std::vector<wchar_t> file(32768, L'\0');
  std::copy_n(fileName.begin(), std::min(fileName.size(), file.size() - 1), file.begin());
  const std::vector<wchar_t> filters = dialogFilter(filter);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = dialogOwner();
  dialog.lpstrFilter = filter.empty() ? nullptr : filters.data();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = initialDir.empty() ? nullptr : wide(initialDir);
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return win32::fromWide(file.data());
}

}  // namespace orvel::gui::native
