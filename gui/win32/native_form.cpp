// A form as a native window: its frame and place on the screen, a native
// control for each component, and both directions of keeping the controls
// and the model in step.
#include "gui/win32/native.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

namespace orvel::gui::native {
namespace {

using win32::wide;

// Posted to the form when lines wait to go into a memo: it arrives when the
// program reads messages again (the handler has returned, or a message box
// or dialog waits for the user), and the memo shows its new lines.
constexpr UINT kPutLines = WM_APP + 1;

// A memo takes the lines that wait for it before it handles any message, so
// that whoever reads, paints or edits it finds every line of the model.
LRESULT CALLBACK memoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  if (message == WM_NCDESTROY)
    RemoveWindowSubclass(hwnd, memoProc, 0);
  else if (message != WM_DESTROY)
    FormWindow::putLines(*reinterpret_cast<Control*>(data));
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// While set, what the controls report is this peer's own doing, not the user's.
class Updating {
 public:
  explicit Updating(int& depth) : depth_(depth) { ++depth_; }
  ~Updating() { --depth_; }
  Updating(const Updating&) = delete;
  Updating& operator=(const Updating&) = delete;

 private:
  int& depth_;
};

bool hasFrame(Kind kind) { return kind == Kind::GroupBox || kind == Kind::RadioGroup; }
bool isTextField(Kind kind) { return kind == Kind::Edit || kind == Kind::Memo; }
// Kinds that the keyboard can reach with Tab.
bool canTakeFocus(Kind kind) {
  switch (kind) {
    case Kind::Button:
    case Kind::Edit:
    case Kind::Memo:
    case Kind::CheckBox:
    case Kind::ComboBox:
    case Kind::ListBox:
    case Kind::RadioButton:
      return true;
    default:
      return false;
  }
}

Str windowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  Str text(static_cast<size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

void setWindowText(HWND hwnd, const Str& text) {
  if (windowText(hwnd) != text) SetWindowTextW(hwnd, wide(text));
}

Str joinedLines(const std::vector<Str>& lines) {
  Str text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

void setStyleBit(HWND hwnd, LONG_PTR bit, bool on) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  const LONG_PTR wanted = on ? (style | bit) : (style & ~bit);
  if (wanted != style) SetWindowLongPtrW(hwnd, GWL_STYLE, wanted);
}

DWORD formStyle(const Form& form) {
  const BorderIcons& icons = form.borderIcons();
  DWORD style = WS_CLIPCHILDREN;
  switch (form.borderStyle()) {
    case BorderStyle::None:
      return style | WS_POPUP;
    case BorderStyle::Single:
      // Fixed: no sizing frame and nothing to maximise.
      style |= WS_CAPTION;
      if (icons.systemMenu) style |= WS_SYSMENU | (icons.minimize ? WS_MINIMIZEBOX : 0);
      return style;
    case BorderStyle::Sizeable:
      style |= WS_CAPTION | WS_THICKFRAME;
      if (icons.systemMenu)
        style |= WS_SYSMENU | (icons.minimize ? WS_MINIMIZEBOX : 0) | (icons.maximize ? WS_MAXIMIZEBOX : 0);
      return style;
  }
  return style;
}

constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// The window's size for its client area at `dpi`, with `extraHeight` pixels
// more for captions that wrap.
SIZE windowSize(HWND hwnd, const Form& form, int dpi, int extraHeight) {
  RECT frame{0, 0, scaledToDpi(form.clientWidth(), dpi), scaledToDpi(form.clientHeight(), dpi) + extraHeight};
  const DWORD style = hwnd ? static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) : formStyle(form);
  adjustWindowRectForDpi(frame, style, kFormExStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

// Kept on the screen: a window centred over a window near an edge would
// otherwise stick out.
POINT keptOnScreen(POINT at, SIZE size) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  at.x = std::max(0, std::min<int>(at.x, width - size.cx));
  at.y = std::max(0, std::min<int>(at.y, height - size.cy));
  return at;
}

}  // namespace

// --- creation -------------------------------------------------------------------

FormWindow::FormWindow(NativeBackend& backend, Form& form) : backend_(backend), form_(form) {
  createFormWindow();
  Updating updating(updating_);
  for (const auto& component : form_.components()) createControl(*component);
  arrangeTabOrder();
  relayout();
}

FormWindow::~FormWindow() {
  if (!hwnd_) return;
  // From here on the window's messages no longer reach this object, and its
  // memos, which go with it, take no more lines.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  for (const auto& control : controls_) control->linesWaiting = false;
  DestroyWindow(hwnd_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  if (bigIcon_) DestroyIcon(bigIcon_);
}

void FormWindow::applyIcons() {
  const HINSTANCE instance = backend_.instance();
  auto load = [&](int width, int height) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, systemMetricForDpi(width, dpi_),
                                         systemMetricForDpi(height, dpi_), 0));
  };
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  HICON big = load(SM_CXICON, SM_CYICON);
  if (!small || !big) {  // a program without an icon keeps the class's
    if (small) DestroyIcon(small);
    if (big) DestroyIcon(big);
    return;
  }
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (smallIcon_) DestroyIcon(smallIcon_);
  if (bigIcon_) DestroyIcon(bigIcon_);
  smallIcon_ = small;
  bigIcon_ = big;
}

void FormWindow::createFormWindow() {
  const SIZE size = windowSize(nullptr, form_, windowDpi(nullptr), 0);
  hwnd_ = CreateWindowExW(kFormExStyle, kFormClass, wide(form_.caption()), formStyle(form_), CW_USEDEFAULT,
                          CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, backend_.instance(), this);
  if (!hwnd_) throw std::runtime_error("Fehler beim Erzeugen des Fensters " + toUtf8(form_.name()));
  // The DPI of the monitor it was made on, which may not be the system's.
  dpi_ = windowDpi(hwnd_);
  applyIcons();
  applyClientSize();
  placeOnScreen();
}

void FormWindow::componentAdded(Component& component) {
  Updating updating(updating_);
  createControl(component);
  arrangeTabOrder();
  relayout();
}

void FormWindow::createControl(Component& component) {
  if (component.kind() == Kind::Other) return;  // dialogs have no window
  // Kept before its windows exist: they point to it.
  controls_.push_back(std::make_unique<Control>());
  Control& control = *controls_.back();
  control.owner = this;
  control.component = &component;
  createWindows(control);
}

HWND FormWindow::parentWindow(const Component& component) const {
  if (component.parent())
    if (const Control* parent = find(*component.parent()); parent && isContainer(parent->component->kind()))
      return parent->hwnd;
  return hwnd_;
}

void FormWindow::createWindows(Control& control) {
  const Component& c = *control.component;
  const Kind kind = c.kind();
  const wchar_t* windowClass = L"BUTTON";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  switch (kind) {
    case Kind::Button:
      style |= BS_PUSHBUTTON | BS_NOTIFY;  // BS_NOTIFY: focus shows the button as the default one
      break;
    case Kind::CheckBox:
      style |= BS_AUTOCHECKBOX;
      break;
    case Kind::RadioButton:
      style |= BS_AUTORADIOBUTTON;
      break;
    case Kind::Label:
      windowClass = L"STATIC";
      style |= SS_LEFTNOWORDWRAP;
      break;
    case Kind::Edit:
      windowClass = L"EDIT";
      style |= ES_AUTOHSCROLL | (c.readOnly() ? ES_READONLY : 0);
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case Kind::Memo:
      windowClass = L"EDIT";
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | (c.readOnly() ? ES_READONLY : 0);
      if (!c.wordWrap()) style |= ES_AUTOHSCROLL;
      if (c.scrollBars() == ScrollBars::Vertical || c.scrollBars() == ScrollBars::Both) style |= WS_VSCROLL;
      if (c.scrollBars() == ScrollBars::Horizontal || c.scrollBars() == ScrollBars::Both) style |= WS_HSCROLL;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case Kind::ComboBox:
      windowClass = L"COMBOBOX";
      style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
      break;
    case Kind::ListBox:
      windowClass = L"LISTBOX";
      style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case Kind::Panel:
    case Kind::GroupBox:
    case Kind::RadioGroup:
      windowClass = kContainerClass;
      exStyle |= WS_EX_CONTROLPARENT;  // Tab goes into it
      break;
    case Kind::SpeedButton:
      windowClass = kPictureButtonClass;
      break;
    case Kind::Other:
      return;
  }
  // Each control is a group of its own, so the arrow keys stay in it; it is
  // a tab stop when it can take the focus and has a place in the tab order.
  style |= WS_GROUP;
  if (canTakeFocus(kind) && c.tabOrder() >= 0) style |= WS_TABSTOP;
  if (c.visible()) style |= WS_VISIBLE;
  if (!c.enabled()) style |= WS_DISABLED;
  const Bounds b = px(c.bounds());
  const int height = kind == Kind::ComboBox ? b.height + px(200) : b.height;  // with the list
  const bool own = windowClass == kContainerClass || windowClass == kPictureButtonClass;
  control.hwnd = CreateWindowExW(exStyle, windowClass, L"", style, b.left, b.top, b.width, height, parentWindow(c),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)), backend_.instance(),
                                 own ? &control : nullptr);
  if (!control.hwnd) throw std::runtime_error("Fehler beim Erzeugen des Steuerelements " + toUtf8(c.name()));
  if (isTextField(kind)) SendMessageW(control.hwnd, EM_LIMITTEXT, 0, 0);  // no limit but memory
  if (kind == Kind::Memo) SetWindowSubclass(control.hwnd, memoProc, 0, reinterpret_cast<DWORD_PTR>(&control));
  if (hasFrame(kind)) {
    control.frame = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX | WS_GROUP,
                                    0, 0, b.width, b.height, control.hwnd, nullptr, backend_.instance(), nullptr);
  }
  if (kind == Kind::RadioGroup) createRadioItems(control);
  applyAll(control);
}

void FormWindow::createRadioItems(Control& control) {
  for (HWND item : control.items) DestroyWindow(item);
  control.items.clear();
  const Component& group = *control.component;
  for (size_t i = 0; i < group.items().size(); ++i) {
    // The first radio button starts the group that the arrow keys move in.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0);
    HWND item = CreateWindowExW(0, L"BUTTON", wide(group.items()[i]), style, 0, 0, 0, 0, control.hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)), backend_.instance(), nullptr);
    if (item) control.items.push_back(item);
  }
  // Under the radio buttons, so that its frame does not paint over them.
  if (control.frame) SetWindowPos(control.frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void FormWindow::destroyWindows(Control& control) {
  if (control.hasTip && tooltip_) {
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control.hwnd);
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  if (control.hwnd) DestroyWindow(control.hwnd);  // its frame and radio buttons with it
  control.hwnd = nullptr;
  control.frame = nullptr;
  control.items.clear();
  control.hasTip = false;
  control.hot = control.pressed = false;
  control.linesShown = 0;
  control.linesRevision = Control::kNoRevision;
  control.linesWaiting = false;
}

// Edit styles cannot change on a live control: it is made anew.
void FormWindow::recreate(Control& control) {
  const bool focused = control.hwnd && GetFocus() == control.hwnd;
  destroyWindows(control);
  createWindows(control);
  arrangeTabOrder();
  align();
  if (focused) SetFocus(control.hwnd);
}

void* FormWindow::controlHandle(const Component& component) const {
  const Control* control = find(component);
  return control ? control->hwnd : nullptr;
}

Control* FormWindow::find(const Component& component) const {
  for (const auto& control : controls_)
    if (control->component == &component) return control.get();
  return nullptr;
}

FormWindow::Hit FormWindow::find(HWND hwnd) const {
  if (!hwnd) return {};
  for (const auto& control : controls_) {
    if (control->hwnd == hwnd || control->frame == hwnd) return {control.get(), -1};
    const auto item = std::find(control->items.begin(), control->items.end(), hwnd);
    if (item != control->items.end()) return {control.get(), static_cast<int>(item - control->items.begin())};
  }
  return {};
}

// The font at the window's DPI: a character height in pixels at 96 DPI.
HFONT FormWindow::fontOf(const Component& component) const {
  Font font = component.font().value_or(form_.font());
  font.height = px(font.height);
  return backend_.font(font);
}

// A control without a colour of its own shows its parent's; text fields and
// lists are white (the window colour) by nature.
int FormWindow::colourOf(const Component* component) const {
  if (!component) return systemColour(form_.colour());
  if (component->colour() != Colour::Default) return systemColour(component->colour());
  switch (component->kind()) {
    case Kind::Edit:
    case Kind::Memo:
    case Kind::ComboBox:
    case Kind::ListBox:
      return COLOR_WINDOW;
    default:
      return colourOf(component->parent());
  }
}

HBRUSH FormWindow::backgroundBrush(const Component* component) const { return GetSysColorBrush(colourOf(component)); }

// --- model -> controls --------------------------------------------------------------

void FormWindow::componentChanged(Component& component, Property property) {
  Control* control = find(component);
  if (!control || !control->hwnd) return;
  Updating updating(updating_);
  // Any other change (hiding it, a new font, new bounds) finds every line in it.
  if (property != Property::Lines) putLines(*control);
  switch (property) {
    case Property::Caption:
      applyCaption(*control);
      break;
    case Property::Hint:
      applyHint(*control);
      break;
    case Property::Text:
      applyText(*control);
      break;
    case Property::Lines:
      applyLines(*control);
      break;
    case Property::Items:
      applyItems(*control);
      break;
    case Property::ItemIndex:
      applyItemIndex(*control);
      break;
    case Property::Checked:
      applyChecked(*control);
      break;
    case Property::Enabled:
      applyEnabled(*control);
      break;
    case Property::Colour:
      RedrawWindow(control->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    case Property::Bounds:
      applyBounds(*control);
      break;
    case Property::Font:
      applyFont(*control);
      break;
    case Property::Visible:
      applyVisible(*control);
      break;
    case Property::TabOrder:
      setStyleBit(control->hwnd, WS_TABSTOP, canTakeFocus(component.kind()) && component.tabOrder() >= 0);
      arrangeTabOrder();
      break;
    case Property::Align:
      align();
      break;
    case Property::Style:
      applyStyle(*control);
      break;
    default:
      break;
  }
}

void FormWindow::applyAll(Control& control) {
  applyFont(control);
  applyCaption(control);
  applyText(control);
  applyLines(control);
  applyItems(control);  // with the selection
  applyChecked(control);
  applyEnabled(control);
  applyHint(control);
}

void FormWindow::applyCaption(Control& control) {
  const Component& c = *control.component;
  switch (c.kind()) {
    case Kind::Button:
    case Kind::CheckBox:
    case Kind::RadioButton:
    case Kind::Label:
      setWindowText(control.hwnd, c.caption());
      if (c.align() == Align::None) relayout();
      break;
    case Kind::GroupBox:
    case Kind::RadioGroup:
      if (control.frame) setWindowText(control.frame, c.caption());
      if (c.align() == Align::None) relayout();
      break;
    case Kind::Panel:
    case Kind::SpeedButton:
      InvalidateRect(control.hwnd, nullptr, TRUE);
      break;
    default:
      break;
  }
}

void FormWindow::applyText(Control& control) {
  const Component& c = *control.component;
  if (c.kind() == Kind::Edit || c.kind() == Kind::ComboBox) setWindowText(control.hwnd, c.text());
}

void FormWindow::applyLines(Control& control) {
  const Component& c = *control.component;
  if (c.kind() != Kind::Memo) return;
  if (control.linesRevision == c.linesRevision() && c.lines().size() >= control.linesShown) {
    addLines(control);
    return;
  }
  // Lines replaced, removed or typed by the user: the whole text, where it differs.
  control.linesWaiting = false;
  setWindowText(control.hwnd, joinedLines(c.lines()));
  control.linesShown = c.lines().size();
  control.linesRevision = c.linesRevision();
}

// Lines added at the end wait until the program reads messages or the memo
// is asked for anything, and then go in together: a handler that logs line
// after line makes the control lay out, scroll and repaint once, not once
// a line, and the cost of a line does not grow with the log.
void FormWindow::addLines(Control& control) {
  if (control.linesWaiting || control.component->lines().size() == control.linesShown) return;
  control.linesWaiting = true;
  if (!putPosted_) putPosted_ = PostMessageW(hwnd_, kPutLines, 0, 0) != 0;
  if (!putPosted_) putLines(control);  // no queue to wait in: at once
}

void FormWindow::putLines(Control& control) {
  if (!control.linesWaiting) return;
  control.linesWaiting = false;
  const std::vector<Str>& lines = control.component->lines();
  if (control.linesRevision != control.component->linesRevision() || lines.size() <= control.linesShown) return;
  Str added;
  for (size_t i = control.linesShown; i < lines.size(); ++i) {
    if (i > 0) added += u"\r\n";
    added += lines[i];
  }
  control.linesShown = lines.size();
  Updating updating(control.owner->updating_);
  // At the end, which also scrolls the new lines into view, as a log should.
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(control.hwnd));
  SendMessageW(control.hwnd, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendMessageW(control.hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide(added)));
}

void FormWindow::putAllLines() {
  putPosted_ = false;
  for (const auto& control : controls_) putLines(*control);
}

void FormWindow::applyItems(Control& control) {
  const Component& c = *control.component;
  switch (c.kind()) {
    case Kind::RadioGroup:
      if (control.items.size() == c.items().size()) {
        for (size_t i = 0; i < c.items().size(); ++i) setWindowText(control.items[i], c.items()[i]);
      } else {
        createRadioItems(control);
        applyFont(control);
        applyEnabled(control);
        arrangeTabOrder();
      }
      break;
    case Kind::ComboBox:
    case Kind::ListBox: {
      const bool combo = c.kind() == Kind::ComboBox;
      SendMessageW(control.hwnd, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
      for (const Str& item : c.items())
        SendMessageW(control.hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item)));
      if (combo) setWindowText(control.hwnd, c.text());
      break;
    }
    default:
      return;
  }
  applyItemIndex(control);
}

void FormWindow::applyItemIndex(Control& control) {
  const Component& c = *control.component;
  const int index = c.itemIndex();
  switch (c.kind()) {
    case Kind::RadioGroup:
      for (size_t i = 0; i < control.items.size(); ++i) {
        const bool selected = static_cast<int>(i) == index;
        SendMessageW(control.items[i], BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
        // Tab reaches the group at its selected button (the first when none is).
        const bool stop = c.tabOrder() >= 0 && (selected || (index < 0 && i == 0));
        setStyleBit(control.items[i], WS_TABSTOP, stop);
      }
      break;
    case Kind::ComboBox:
      SendMessageW(control.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      break;
    case Kind::ListBox:
      SendMessageW(control.hwnd, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
      break;
    default:
      break;
  }
}

void FormWindow::applyChecked(Control& control) {
  const Kind kind = control.component->kind();
  if (kind != Kind::CheckBox && kind != Kind::RadioButton) return;
  const WPARAM state = control.component->checked() ? BST_CHECKED : BST_UNCHECKED;
  if (SendMessageW(control.hwnd, BM_GETCHECK, 0, 0) != static_cast<LRESULT>(state))
    SendMessageW(control.hwnd, BM_SETCHECK, state, 0);
}

void FormWindow::applyEnabled(Control& control) {
  const bool enabled = control.component->enabled();
  if (!enabled) moveFocusAwayFrom(control.hwnd);
  EnableWindow(control.hwnd, enabled);
  if (control.frame) EnableWindow(control.frame, enabled);
  for (HWND item : control.items) EnableWindow(item, enabled);
  // A text field's background may change with it (WM_CTLCOLOR*).
  InvalidateRect(control.hwnd, nullptr, TRUE);
}

void FormWindow::applyVisible(Control& control) {
  const bool visible = control.component->visible();
  if (!visible) moveFocusAwayFrom(control.hwnd);
  ShowWindow(control.hwnd, visible ? SW_SHOWNA : SW_HIDE);
  if (control.component->align() != Align::None) align();
}

void FormWindow::applyFont(Control& control) {
  const auto font = reinterpret_cast<WPARAM>(fontOf(*control.component));
  SendMessageW(control.hwnd, WM_SETFONT, font, TRUE);
  if (control.frame) SendMessageW(control.frame, WM_SETFONT, font, TRUE);
  for (HWND item : control.items) SendMessageW(item, WM_SETFONT, font, TRUE);
  if (control.component->kind() == Kind::RadioGroup) layoutRadioItems(control);
  if (growsWithCaption(control.component->kind()) && control.component->align() == Align::None) relayout();
}

void FormWindow::applyHint(Control& control) {
  const Str& hint = control.component->hint();
  if (hint.empty() && !control.hasTip) return;
  if (!tooltip_) {
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, backend_.instance(), nullptr);
    if (!tooltip_) return;
  }
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control.hwnd);
  tool.lpszText = const_cast<wchar_t*>(wide(hint));
  if (hint.empty()) {
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    control.hasTip = false;
  } else if (control.hasTip) {
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    control.hasTip = SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  }
}

void FormWindow::applyStyle(Control& control) {
  const Component& c = *control.component;
  switch (c.kind()) {
    case Kind::Edit:
      SendMessageW(control.hwnd, EM_SETREADONLY, c.readOnly(), 0);
      break;
    case Kind::Memo: {
      const LONG_PTR style = GetWindowLongPtrW(control.hwnd, GWL_STYLE);
      const bool vertical = c.scrollBars() == ScrollBars::Vertical || c.scrollBars() == ScrollBars::Both;
      const bool horizontal = c.scrollBars() == ScrollBars::Horizontal || c.scrollBars() == ScrollBars::Both;
      const bool same = ((style & WS_VSCROLL) != 0) == vertical && ((style & WS_HSCROLL) != 0) == horizontal &&
                        ((style & ES_AUTOHSCROLL) == 0) == c.wordWrap();
      if (same)
        SendMessageW(control.hwnd, EM_SETREADONLY, c.readOnly(), 0);
      else
        recreate(control);
      break;
    }
    default:
      InvalidateRect(control.hwnd, nullptr, TRUE);
      break;
  }
}

// --- the window itself ------------------------------------------------------------------

void FormWindow::formChanged(Property property) {
  Updating updating(updating_);
  switch (property) {
    case Property::Caption:
      setWindowText(hwnd_, form_.caption());
      break;
    case Property::ClientSize:
      applyClientSize();
      break;
    case Property::Position:
      positioned_ = false;
      if (IsWindowVisible(hwnd_)) {
        placeOnScreen();
        positioned_ = true;
      }
      break;
    case Property::Border:
      applyBorder();
      break;
    case Property::Font:
      for (const auto& control : controls_)
        if (!control->component->font()) applyFont(*control);
      break;
    case Property::Colour:
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    default:
      break;
  }
}

void FormWindow::applyBorder() {
  const LONG_PTR keep = GetWindowLongPtrW(hwnd_, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, formStyle(form_) | keep);
  // The client area keeps its size; the frame around it changes.
  const SIZE size = windowSize(hwnd_, form_, dpi_, extraHeight());
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void FormWindow::applyClientSize() {
  const SIZE size = windowSize(hwnd_, form_, dpi_, extraHeight());
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::onDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  Updating updating(updating_);
  for (const auto& control : controls_) applyFont(*control);
  relayout();
  applyIcons();
  // Where the system suggests, at the size of the client area at this DPI.
  const SIZE size = windowSize(hwnd_, form_, dpi_, extraHeight());
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FormWindow::placeOnScreen() {
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
  POINT at{px(form_.left()), px(form_.top())};
  const Form* main = form_.application().mainForm();
  HWND mainWindow = main && main != &form_ && main->peer() ? static_cast<HWND>(main->peer()->nativeHandle()) : nullptr;
  if (form_.position() == Position::MainFormCenter && mainWindow) {
    RECT over{};
    GetWindowRect(mainWindow, &over);
    at = keptOnScreen(
        {over.left + (over.right - over.left - size.cx) / 2, over.top + (over.bottom - over.top - size.cy) / 2}, size);
  } else if (form_.position() != Position::Designed) {
    at = {(GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2};
  }
  SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::shown() {
  // Centred over the main window where that window is when this one first shows.
  if (!positioned_) {
    placeOnScreen();
    positioned_ = true;
  }
  ShowWindow(hwnd_, SW_SHOWNORMAL);
}

void FormWindow::hidden() {
  rememberFocus();
  ShowWindow(hwnd_, SW_HIDE);
}

void FormWindow::repaint() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// --- focus ------------------------------------------------------------------------------

void FormWindow::rememberFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus)) focus_ = focus;
}

void FormWindow::restoreFocus() {
  if (focus_ && IsWindow(focus_) && IsChild(hwnd_, focus_) && IsWindowEnabled(focus_) && IsWindowVisible(focus_)) {
    SetFocus(focus_);
    return;
  }
  HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  SetFocus(first ? first : hwnd_);
}

// A control that is disabled or hidden cannot keep the focus.
void FormWindow::moveFocusAwayFrom(HWND hwnd) {
  HWND focus = GetFocus();
  if (!focus || (focus != hwnd && !IsChild(hwnd, focus))) return;
  HWND next = GetNextDlgTabItem(hwnd_, focus, FALSE);
  SetFocus(next && next != focus && !IsChild(hwnd, next) ? next : hwnd_);
}

// What the dialog manager asks for on Tab and Shift+Tab.
void FormWindow::nextTabItem(bool previous) {
  HWND next = GetNextDlgTabItem(hwnd_, GetFocus(), previous);
  if (!next) return;
  SetFocus(next);
  // As in a dialog: a one-line field reached with Tab has its text selected.
  const bool multiline = GetWindowLongPtrW(next, GWL_STYLE) & ES_MULTILINE;
  if (!multiline && (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)) SendMessageW(next, EM_SETSEL, 0, -1);
}

// --- controls -> model ------------------------------------------------------------------

void FormWindow::onCommand(HWND from, int code) {
  if (updating_ > 0) return;
  const Hit hit = find(from);
  if (!hit.control) return;
  Control& control = *hit.control;
  Component& c = *control.component;
  switch (c.kind()) {
    case Kind::Button:
      if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
        // The focused button is the one Enter presses: it shows so.
        SendMessageW(from, BM_SETSTYLE, code == BN_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        return;
      }
      if (code == BN_CLICKED) c.userClick();
      return;
    case Kind::SpeedButton:
      if (code == BN_CLICKED) c.userClick();
      return;
    case Kind::CheckBox:
    case Kind::RadioButton:
      if (code != BN_CLICKED) return;
      c.userClick();
      break;
    case Kind::RadioGroup:
      if (code != BN_CLICKED || hit.item < 0) return;
      c.userSelect(hit.item);
      break;
    case Kind::Edit:
    case Kind::Memo:
      if (code != EN_CHANGE) return;
      c.userSetText(windowText(from));
      break;
    case Kind::ComboBox:
      if (code == CBN_SELCHANGE)
        c.userSelect(static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0)));
      else if (code == CBN_EDITCHANGE)
        c.userSetText(windowText(from));
      else
        return;
      break;
    case Kind::ListBox:
      if (code != LBN_SELCHANGE) return;
      c.userSelect(static_cast<int>(SendMessageW(from, LB_GETCURSEL, 0, 0)));
      break;
    default:
      return;
  }
  // The model may have refused (a read-only field) or its handler may have
  // changed its mind; the control shows what the model holds. The control
  // may be gone if a handler closed the form.
  if (Control* still = find(c); still && still->hwnd) {
    Updating updating(updating_);
    applyText(*still);
    applyLines(*still);
    applyChecked(*still);
    applyItemIndex(*still);
  }
}

LRESULT FormWindow::onControlColour(HDC dc, HWND from) {
  const Hit hit = find(from);
  // The frame and radio buttons of a group show the group's colour.
  const Component* component = hit.control ? hit.control->component : nullptr;
  const int background = colourOf(component);
  const bool greyed = component && isTextField(component->kind()) && !IsWindowEnabled(from);
  SetBkColor(dc, GetSysColor(background));
  SetTextColor(dc, GetSysColor(greyed ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

LRESULT FormWindow::formMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area;
      GetClientRect(hwnd_, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, backgroundBrush(nullptr));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd_, &paint);
      EndPaint(hwnd_, &paint);
      form_.application().dispatch([this] { form_.paint(); });
      return 0;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) align();
      return 0;
    case kDpiChanged:
      onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      // Whatever the form decides; the window itself stays until the form goes.
      form_.userClose();
      return 0;
    case WM_COMMAND:
      if (lParam) onCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;  // Enter and Esc without a control (IDOK, IDCANCEL) do nothing
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return onControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NEXTDLGCTL:
      if (LOWORD(lParam))
        SetFocus(reinterpret_cast<HWND>(wParam));
      else
        nextTabItem(wParam != 0);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE)
        rememberFocus();
      else if (!HIWORD(wParam))  // not while minimised
        restoreFocus();
      return 0;
    case WM_SETFOCUS:
      restoreFocus();
      return 0;
    case kPutLines:
      putAllLines();
      return 0;
    case WM_SETCURSOR:
      if (backend_.hourglass()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace orvel::gui::native
