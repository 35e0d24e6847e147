// The native backend: window classes, fonts, the message loop and the cursor.
#include "gui/win32/native.h"

#include <windowsx.h>

#include <exception>

namespace orvel::gui {
namespace native {
namespace {

template <class T>
T* windowData(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Keeps the pointer given to CreateWindowExW with the window.
void storeCreateParam(HWND hwnd, LPARAM lParam) {
  const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    storeCreateParam(hwnd, lParam);
    if (auto* window = windowData<FormWindow>(hwnd)) window->attach(hwnd);
  }
  FormWindow* window = windowData<FormWindow>(hwnd);
  if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing may unwind through the system's frames; what a handler lets
  // escape is caught by Application::dispatch already, so this is the rest.
  try {
    return window->formMessage(message, wParam, lParam);
  } catch (...) {
    try {
      window->form().application().handleCurrentException();
    } catch (...) {  // the error box itself failed: there is nobody left to tell
    }
  }
  return 0;
}

// Panels, group boxes and radio groups hand what their controls report to
// the form, which knows the components.
LRESULT CALLBACK containerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) storeCreateParam(hwnd, lParam);
  const Control* control = windowData<Control>(hwnd);
  if (!control) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_DRAWITEM:
    case WM_NOTIFY:
      return SendMessageW(control->owner->hwnd(), message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT area;
      GetClientRect(hwnd, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, control->owner->backgroundBrush(control->component));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      control->owner->paintContainer(*control, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool mouseInside(HWND hwnd, LPARAM lParam) {
  RECT area;
  GetClientRect(hwnd, &area);
  return PtInRect(&area, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != 0;
}

// A picture button works like a speed button: pressed while the mouse is
// held down over it, clicked when the mouse is let go over it; it never
// takes the keyboard focus.
LRESULT CALLBACK pictureButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) storeCreateParam(hwnd, lParam);
  Control* control = windowData<Control>(hwnd);
  if (!control) return DefWindowProcW(hwnd, message, wParam, lParam);
  auto redraw = [hwnd] { InvalidateRect(hwnd, nullptr, TRUE); };
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills it all
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      control->owner->paintPictureButton(*control, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(hwnd);
      control->pressed = true;
      redraw();
      return 0;
    case WM_MOUSEMOVE: {
      if (GetCapture() == hwnd) {
        const bool inside = mouseInside(hwnd, lParam);
        if (inside != control->pressed) {
          control->pressed = inside;
          redraw();
        }
      }
      if (!control->hot) {
        control->hot = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
        redraw();
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      control->hot = false;
      redraw();
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) {
        const bool clicked = control->pressed && mouseInside(hwnd, lParam);
        ReleaseCapture();  // WM_CAPTURECHANGED releases the button
        if (clicked)
          SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                       reinterpret_cast<LPARAM>(hwnd));
      }
      return 0;
    case WM_CAPTURECHANGED:
      control->pressed = false;
      redraw();
      return 0;
    case WM_ENABLE:
      control->hot = false;
      control->pressed = false;
      redraw();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int systemColour(Colour colour) {
  switch (colour) {
    case Colour::Window:
      return COLOR_WINDOW;
    case Colour::Menu:
      return COLOR_MENU;
    case Colour::WindowText:
      return COLOR_WINDOWTEXT;
    case Colour::ButtonFace:
    case Colour::Default:
      break;
  }
  return COLOR_BTNFACE;
}

// --- window classes --------------------------------------------------------------

WindowClasses::WindowClasses(HINSTANCE instance) : instance_(instance) {
  struct ClassInfo {
    const wchar_t* name;
    WNDPROC proc;
    UINT style;
  };
  const ClassInfo classes[] = {
      {kFormClass, formProc, 0},
      {kContainerClass, containerProc, 0},
      {kPictureButtonClass, pictureButtonProc, 0},
  };
  for (const ClassInfo& info : classes) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = info.style;
    wc.lpfnWndProc = info.proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // The program's own icon (resource 1), in the caption at the small
    // size; a program without one gets the system's.
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = info.name;
    if (RegisterClassExW(&wc)) {
      registered_.push_back(info.name);
    } else if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      ok_ = false;
    }
  }
}

WindowClasses::~WindowClasses() {
  for (const wchar_t* name : registered_) UnregisterClassW(name, instance_);
}

// --- fonts ------------------------------------------------------------------------

FontCache::~FontCache() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
}

HFONT FontCache::get(const Font& font) {
  const auto key = std::make_pair(font.name, font.height);
  if (auto found = fonts_.find(key); found != fonts_.end()) return found->second;
  // A negative height asks for the character height, as the layout gives it.
  HFONT created =
      CreateFontW(-font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, win32::wide(font.name));
  if (!created) created = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_.emplace(key, created);
  return created;
}

// --- the backend ------------------------------------------------------------------

NativeBackend::NativeBackend()
    : instance_(GetModuleHandleW(nullptr)), thread_(GetCurrentThreadId()), classes_(instance_) {}

NativeBackend::~NativeBackend() = default;

bool NativeBackend::usable() const {
  if (!classes_.ok()) return false;
  // A hidden top-level window of our own class: fails where there is no desktop.
  HWND probe = CreateWindowExW(0, kContainerClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance_, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

std::unique_ptr<FormPeer> NativeBackend::createPeer(Form& form) { return std::make_unique<FormWindow>(*this, form); }

void NativeBackend::deliver(MSG& message) {
  // Tab, the arrow keys, Enter and the mnemonics work as in a dialog.
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root) {
    wchar_t className[32] = {};
    GetClassNameW(root, className, 32);
    if (lstrcmpW(className, kFormClass) == 0 && IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void NativeBackend::runLoop() {
  while (!app_->terminated()) {
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {  // WM_QUIT, or no queue to read
      app_->terminate();
      break;
    }
    deliver(message);
  }
}

void NativeBackend::processMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      app_->terminate();
      break;
    }
    deliver(message);
  }
}

void NativeBackend::terminateRequested() {
  // Wakes GetMessageW; the loop then sees that the application is terminated.
  PostThreadMessageW(thread_, WM_NULL, 0, 0);
}

void NativeBackend::cursorChanged(Cursor cursor) {
  cursor_ = cursor;
  // At once: the program is usually busy after this and reads no messages.
  SetCursor(LoadCursorW(nullptr, cursor == Cursor::Hourglass ? IDC_WAIT : IDC_ARROW));
}

HWND NativeBackend::dialogOwner() const {
  HWND active = GetActiveWindow();
  return active && IsWindowVisible(active) ? active : nullptr;
}

}  // namespace native

std::unique_ptr<Backend> makeNativeBackend() {
  auto backend = std::make_unique<native::NativeBackend>();
  if (!backend->usable()) return nullptr;
  return backend;
}

}  // namespace orvel::gui
