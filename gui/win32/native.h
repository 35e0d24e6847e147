// The native Win32 GUI: every form a top-level window, every component a
// native control at its pixel position. Private to gui/win32/native*.cpp.
//
// The model is the truth. A change of the model is copied into the controls
// (FormWindow's componentChanged); what a user does to a control is handed to
// the model's user* entry points, whose change notifications then find the
// control already in that state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "gui/backend.h"
#include "platform/win32/win32.h"

namespace orvel::gui::native {

// The window classes of this backend.
inline constexpr wchar_t kFormClass[] = L"OrvelForm";
// Panels, group boxes and radio groups: a window that holds controls.
inline constexpr wchar_t kContainerClass[] = L"OrvelContainer";
// Flat picture buttons: drawn here, never take the focus.
inline constexpr wchar_t kPictureButtonClass[] = L"OrvelPictureButton";

// The system colour (COLOR_*) of a model colour; Default is the button face.
int systemColour(Colour colour);

// Panels, group boxes and radio groups hold other controls.
bool isContainer(Kind kind);
// Labels, buttons, check boxes, radio buttons and groups grow to show their whole caption.
bool growsWithCaption(Kind kind);
// Moves and sizes a child window (negative sizes count as 0).
void place(HWND hwnd, const Bounds& bounds);
// A window's client area as bounds at 0, 0.
Bounds clientBounds(HWND hwnd);

// The folder picture, 16 x 16 pixels at 96 DPI and as many more as `dpi`
// asks, at (x, y); greyed (embossed in the shadow and highlight colours)
// when disabled.
void drawFolderGlyph(HDC dc, int x, int y, bool enabled, int dpi);

// DPI: the layouts' pixels are pixels at 96 DPI; a window shows them at the
// DPI of its monitor (native_dpi.cpp).
inline constexpr int kDesignDpi = 96;
// Sent when a window moves to a monitor of another DPI (WM_DPICHANGED).
inline constexpr UINT kDpiChanged = 0x02E0;
// The DPI of a window's monitor; of the system for null or on systems before
// Windows 10 1607.
int windowDpi(HWND hwnd);
int scaledToDpi(int value, int dpi);
Bounds scaledToDpi(const Bounds& bounds, int dpi);
// AdjustWindowRectEx with the frame's sizes at `dpi`.
void adjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
int systemMetricForDpi(int index, int dpi);
// The width a check box or radio button needs beside its caption.
int checkBoxRoom(int dpi);

using win32::ComPtr;

// Registers the backend's window classes for its lifetime. A class that is
// already registered (a second backend in the same process) is used as it is.
class WindowClasses {
 public:
  explicit WindowClasses(HINSTANCE instance);
  ~WindowClasses();
  WindowClasses(const WindowClasses&) = delete;
  WindowClasses& operator=(const WindowClasses&) = delete;
  bool ok() const { return ok_; }

 private:
  HINSTANCE instance_;
  std::vector<const wchar_t*> registered_;
  bool ok_ = true;
};

// The fonts the controls use, by face name and character height; deleted
// with the backend, after the windows that use them.
class FontCache {
 public:
  FontCache() = default;
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  HFONT get(const Font& font);

 private:
  std::map<std::pair<Str, int>, HFONT> fonts_;
};

class FormWindow;

// The native windows of one component.
struct Control {
  FormWindow* owner = nullptr;
  Component* component = nullptr;
  HWND hwnd = nullptr;
  HWND frame = nullptr;     // group box and radio group: the frame with the caption
  std::vector<HWND> items;  // radio group: one radio button per item
  bool hasTip = false;      // a tooltip tool exists for it
  bool hot = false;         // picture button: the mouse is over it
  bool pressed = false;     // picture button: held down with the mouse inside
  // Memo: the model's lines that the control holds, the first linesShown of
  // them at the model's linesRevision; and whether lines added since wait
  // to go in.
  size_t linesShown = 0;
  uint64_t linesRevision = kNoRevision;
  bool linesWaiting = false;
  // Label: the width its caption wraps at, 0 while it fits on one line.
  int wrapWidth = 0;
  static constexpr uint64_t kNoRevision = UINT64_MAX;
};

class NativeBackend;

// A form's native window with its controls.
class FormWindow : public FormPeer {
 public:
  FormWindow(NativeBackend& backend, Form& form);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  void componentAdded(Component& component) override;
  void componentChanged(Component& component, Property property) override;
  void formChanged(Property property) override;
  void shown() override;
  void hidden() override;
  void closed() override {}
  void repaint() override;
  void* nativeHandle() const override { return hwnd_; }
  void* controlHandle(const Component& component) const override;
  // Puts the lines that wait for a memo into its control.
  static void putLines(Control& control);

  Form& form() const { return form_; }
  HWND hwnd() const { return hwnd_; }
  int dpi() const { return dpi_; }
  // The window procedure's first message: the handle before CreateWindowExW returns it.
  void attach(HWND hwnd) { hwnd_ = hwnd; }

  // The window procedures of the form and of its own control classes.
  LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void paintContainer(const Control& control, HDC dc);
  void paintPictureButton(const Control& control, HDC dc);
  // The brush a control's (or, for null, the form's) background is painted with.
  HBRUSH backgroundBrush(const Component* component) const;

 private:
  struct Hit {
    Control* control = nullptr;
    int item = -1;  // the radio button's item, or -1
  };

  void createFormWindow();
  void createControl(Component& component);
  void createWindows(Control& control);
  void createRadioItems(Control& control);
  void destroyWindows(Control& control);
  void recreate(Control& control);
  HWND parentWindow(const Component& component) const;
  Control* find(const Component& component) const;
  Hit find(HWND hwnd) const;
  HFONT fontOf(const Component& component) const;
  // A caption's size in the control's font: on one line, or wrapped at `width`.
  SIZE captionExtent(const Control& control, int wrapAt = 0) const;
  Bounds placedBounds(const Control& control) const;
  int captionMargin(Kind kind) const;
  int colourOf(const Component* component) const;

  // Model -> control, one property each.
  void applyAll(Control& control);
  void applyCaption(Control& control);
  void applyText(Control& control);
  void applyLines(Control& control);
  void applyItems(Control& control);
  void applyItemIndex(Control& control);
  void applyChecked(Control& control);
  void applyEnabled(Control& control);
  void applyVisible(Control& control);
  void applyBounds(Control& control);
  void applyFont(Control& control);
  void applyHint(Control& control);
  void applyStyle(Control& control);
  void addLines(Control& control);
  void putAllLines();

  // Layout: the captions that wrap and what moves down for them, docking,
  // the radio buttons of a radio group, the tab order.
  void relayout();
  void wrapLabels();
  int roomBeside(const Component& component) const;
  int shiftOf(const Component& component) const;
  int extraHeight() const;
  void align();
  void alignWithin(const Component* parent, HWND parentHwnd);
  void layoutRadioItems(Control& control);
  void arrangeTabOrder();

  // The window at another DPI: its size, every control's place and font.
  void onDpiChanged(int dpi, const RECT& suggested);
  int px(int value) const { return scaledToDpi(value, dpi_); }
  Bounds px(const Bounds& bounds) const { return scaledToDpi(bounds, dpi_); }

  // The program's icon in the caption and the task bar, at the window's DPI.
  void applyIcons();

  // The window's frame, size and place on the screen.
  void applyBorder();
  void applyClientSize();
  void placeOnScreen();

  // Control -> model.
  void onCommand(HWND from, int code);
  LRESULT onControlColour(HDC dc, HWND from);
  void rememberFocus();
  void restoreFocus();
  void moveFocusAwayFrom(HWND hwnd);
  void nextTabItem(bool previous);

  NativeBackend& backend_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND focus_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;
  int nextId_ = 1000;  // clear of IDOK and IDCANCEL, which the dialog manager sends
  int updating_ = 0;   // > 0 while this peer changes its controls itself
  bool putPosted_ = false;  // kPutLines is on its way
  bool positioned_ = false;
  int dpi_ = kDesignDpi;
  // Made for this window's DPI, destroyed with it.
  HICON smallIcon_ = nullptr;
  HICON bigIcon_ = nullptr;
  // Labels wrapped onto more lines: what lies below `below` (a designed
  // bottom, at 96 DPI) moves down by `extra` pixels, and the window grows.
  struct Shift {
    int below;
    int extra;
    bool operator==(const Shift&) const = default;
  };
  std::vector<Shift> shifts_;
};

class NativeBackend : public Backend {
 public:
  NativeBackend();
  ~NativeBackend() override;
  // Whether windows can be made here (a desktop to show them on).
  bool usable() const;

  void attach(Application& app) override { app_ = &app; }
  std::unique_ptr<FormPeer> createPeer(Form& form) override;
  void runLoop() override;
  void processMessages() override;
  void terminateRequested() override;
  void cursorChanged(Cursor cursor) override;
  Button messageBox(const MessageBoxRequest& request) override;
  std::optional<Str> folderDialog(const Str& start) override;
  std::optional<Str> fileDialog(const Str& initialDir, const Str& fileName, const Str& filter) override;

  Application& application() const { return *app_; }
  HINSTANCE instance() const { return instance_; }
  HFONT font(const Font& font) { return fonts_.get(font); }
  bool hourglass() const { return cursor_ == Cursor::Hourglass; }

 private:
  void deliver(MSG& message);
  // The window that owns a modal dialog: the active form, if any.
  HWND dialogOwner() const;

  Application* app_ = nullptr;
  HINSTANCE instance_;
  DWORD thread_;
  WindowClasses classes_;
  FontCache fonts_;
  Cursor cursor_ = Cursor::Default;
};

}  // namespace orvel::gui::native
