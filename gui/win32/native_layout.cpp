// Where the controls go: docking to the edges of their parent, the labels'
// room for their caption, the radio buttons of a radio group, and the tab
// order (the window order of siblings).
#include "gui/win32/native.h"

#include <algorithm>

namespace orvel::gui::native {
namespace {

// The rectangle that aligned controls share, and what they have taken of it.
struct Area {
  int left, top, right, bottom;
};

Area areaOf(const Bounds& bounds, int inset) { return {inset, inset, bounds.width - inset, bounds.height - inset}; }

// Docks one control. The designed bounds lie in the designed area; the
// distances between them are kept as the control's margins, so that the
// window at its designed size looks exactly as designed and a larger one
// moves the docked control with its edge.
Bounds dock(Align align, const Bounds& designed, Area& design, Area& actual) {
  const int left = designed.left - design.left;
  const int top = designed.top - design.top;
  const int right = design.right - (designed.left + designed.width);
  const int bottom = design.bottom - (designed.top + designed.height);
  Bounds placed;
  switch (align) {
    case Align::Top:
      placed = {actual.left + left, actual.top + top, actual.right - right - actual.left - left, designed.height};
      design.top = designed.top + designed.height;
      actual.top = placed.top + placed.height;
      break;
    case Align::Bottom:
      placed = {actual.left + left, actual.bottom - bottom - designed.height, actual.right - right - actual.left - left,
                designed.height};
      design.bottom = designed.top;
      actual.bottom = placed.top;
      break;
    case Align::Left:
      placed = {actual.left + left, actual.top + top, designed.width, actual.bottom - bottom - actual.top - top};
      design.left = designed.left + designed.width;
      actual.left = placed.left + placed.width;
      break;
    case Align::Right:
      placed = {actual.right - right - designed.width, actual.top + top, designed.width,
                actual.bottom - bottom - actual.top - top};
      design.right = designed.left;
      actual.right = placed.left;
      break;
    case Align::Client:
      placed = {actual.left + left, actual.top + top, actual.right - right - actual.left - left,
                actual.bottom - bottom - actual.top - top};
      break;
    case Align::None:
      placed = designed;
      break;
  }
  placed.width = std::max(placed.width, 0);
  placed.height = std::max(placed.height, 0);
  return placed;
}

// A panel's raised bevel is one pixel wide; its controls dock inside it.
int alignInset(const Component* parent) { return parent && parent->kind() == Kind::Panel ? 1 : 0; }

}  // namespace

bool growsWithCaption(Kind kind) {
  switch (kind) {
    case Kind::Label:
    case Kind::Button:
    case Kind::CheckBox:
    case Kind::RadioButton:
    case Kind::GroupBox:
    case Kind::RadioGroup:
      return true;
    default:
      return false;
  }
}

bool isContainer(Kind kind) { return kind == Kind::Panel || kind == Kind::GroupBox || kind == Kind::RadioGroup; }

void place(HWND hwnd, const Bounds& bounds) {
  SetWindowPos(hwnd, nullptr, bounds.left, bounds.top, std::max(bounds.width, 0), std::max(bounds.height, 0),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

Bounds clientBounds(HWND hwnd) {
  RECT area{};
  GetClientRect(hwnd, &area);
  return {0, 0, area.right, area.bottom};
}

void FormWindow::applyBounds(Control& control) {
  // A control that moves may give a label beside it more room or less.
  if (control.component->align() == Align::None)
    relayout();
  else
    align();  // what is docked inside it, or docked beside it
}

// The size of a caption in a control's font, as the control draws it.
SIZE FormWindow::captionExtent(const Control& control, int wrapAt) const {
  const Str& caption = control.component->caption();
  HDC dc = GetDC(control.hwnd);
  HGDIOBJ previous = SelectObject(dc, fontOf(*control.component));
  RECT text{0, 0, wrapAt, 0};
  DrawTextW(dc, win32::wide(caption), static_cast<int>(caption.size()), &text,
            DT_CALCRECT | (wrapAt > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, previous);
  ReleaseDC(control.hwnd, dc);
  return {text.right, text.bottom};
}

// Where a control that is not docked goes, at the window's DPI. A combo
// box's window includes its dropped-down list; a label, button, check box
// or radio button grows to the right to show its whole caption, since this system's font (or the
// language file's text) may be wider than the one the layout was made with.
Bounds FormWindow::placedBounds(const Control& control) const {
  const Component& c = *control.component;
  Bounds b = px(c.bounds());
  b.top += shiftOf(c);
  if (c.kind() == Kind::ComboBox) b.height += px(200);
  if (!growsWithCaption(c.kind()) || c.caption().empty() || !control.hwnd) return b;
  if (control.wrapWidth > 0) {
    const SIZE text = captionExtent(control, control.wrapWidth);
    b.width = control.wrapWidth;
    b.height = std::max<int>(b.height, text.cy);
    return b;
  }
  // Never over the next control beside it: a caption cut there shows where
  // the layout needs a change.
  const SIZE text = captionExtent(control);
  b.width = std::max<int>(b.width, std::min<int>(captionMargin(c.kind()) + text.cx, roomBeside(c)));
  if (!isContainer(c.kind())) b.height = std::max<int>(b.height, text.cy);
  return b;
}

// What a control needs beside its caption's text: a check box's box, a
// button's frame, a group's frame around the caption.
int FormWindow::captionMargin(Kind kind) const {
  switch (kind) {
    case Kind::Button:
      return px(8);
    case Kind::CheckBox:
    case Kind::RadioButton:
      return checkBoxRoom(dpi_) + 1;
    case Kind::GroupBox:
    case Kind::RadioGroup:
      return px(12);
    default:
      return 0;
  }
}

// A label whose caption does not fit into the room beside it (up to the
// next control on its lines, or the window's edge) wraps onto more lines;
// the controls below it move down by the lines it adds, and the window
// grows by as much. The other controls keep their places.
void FormWindow::relayout() {
  if (!hwnd_) return;
  const std::vector<Shift> before = shifts_;
  wrapLabels();
  for (const auto& control : controls_) {
    const Component& c = *control->component;
    if (!control->hwnd || c.align() != Align::None) continue;
    if (c.kind() == Kind::Label) {
      const LONG_PTR style = GetWindowLongPtrW(control->hwnd, GWL_STYLE);
      const LONG_PTR wanted = (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) |
                              (control->wrapWidth > 0 ? SS_LEFT : SS_LEFTNOWORDWRAP);
      if (wanted != style) {
        SetWindowLongPtrW(control->hwnd, GWL_STYLE, wanted);
        InvalidateRect(control->hwnd, nullptr, TRUE);
      }
    }
    place(control->hwnd, placedBounds(*control));
  }
  if (shifts_ != before) applyClientSize();
  align();
}

void FormWindow::wrapLabels() {
  shifts_.clear();
  for (const auto& control : controls_) {
    control->wrapWidth = 0;
    const Component& c = *control->component;
    if (c.kind() != Kind::Label || c.parent() || c.align() != Align::None || !c.visible() || c.caption().empty() ||
        !control->hwnd)
      continue;
    const int room = roomBeside(c);
    const SIZE line = captionExtent(*control);
    if (line.cx <= room || room <= 0) continue;
    control->wrapWidth = room;
    const SIZE wrapped = captionExtent(*control, room);
    const int extra = wrapped.cy - std::max<int>(px(c.bounds().height), line.cy);
    if (extra > 0) shifts_.push_back({c.bounds().top + c.bounds().height, extra});
  }
}

// The width from a control's left edge to the next control on its lines
// (or its parent's edge), less a pixel between them.
int FormWindow::roomBeside(const Component& component) const {
  const Bounds& b = component.bounds();
  int right = component.parent() ? component.parent()->bounds().width : form_.clientWidth();
  for (const auto& control : controls_) {
    const Component& other = *control->component;
    if (&other == &component || other.parent() != component.parent() || other.align() != Align::None ||
        !other.visible() || other.kind() == Kind::Other)
      continue;
    const Bounds& o = other.bounds();
    const bool sameLines = o.top < b.top + b.height && o.top + o.height > b.top;
    if (sameLines && o.left > b.left) right = std::min(right, o.left);
  }
  return px(right - b.left - 1);
}

int FormWindow::shiftOf(const Component& component) const {
  if (component.parent() || component.align() != Align::None) return 0;
  int shift = 0;
  for (const Shift& s : shifts_)
    if (component.bounds().top >= s.below) shift += s.extra;
  return shift;
}

int FormWindow::extraHeight() const {
  int extra = 0;
  for (const Shift& s : shifts_) extra += s.extra;
  return extra;
}

void FormWindow::align() {
  if (hwnd_) alignWithin(nullptr, hwnd_);
}

void FormWindow::alignWithin(const Component* parent, HWND parentHwnd) {
  const Bounds designed = px(parent ? parent->bounds() : Bounds{0, 0, form_.clientWidth(), form_.clientHeight()});
  const int inset = alignInset(parent);
  Area design = areaOf(designed, inset);
  Area actual = areaOf(clientBounds(parentHwnd), inset);
  for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
    for (const auto& control : controls_) {
      const Component& c = *control->component;
      if (c.parent() != parent || c.align() != pass || !c.visible()) continue;
      place(control->hwnd, dock(pass, px(c.bounds()), design, actual));
    }
  }
  for (const auto& control : controls_) {
    const Component& c = *control->component;
    if (c.parent() != parent || !isContainer(c.kind())) continue;
    if (control->frame) place(control->frame, clientBounds(control->hwnd));
    if (c.kind() == Kind::RadioGroup) layoutRadioItems(*control);
    alignWithin(&c, control->hwnd);
  }
}

// One column of radio buttons, sharing the height below the caption evenly.
void FormWindow::layoutRadioItems(Control& control) {
  if (control.items.empty()) return;
  const Bounds box = clientBounds(control.hwnd);
  HDC dc = GetDC(control.hwnd);
  HGDIOBJ previous = SelectObject(dc, fontOf(*control.component));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(control.hwnd, dc);
  const int count = static_cast<int>(control.items.size());
  const int below = box.height - metrics.tmHeight - px(5);
  const int itemHeight = std::max(below / count, 0);
  const int top = metrics.tmHeight + px(1) + (below % count) / 2;
  for (int i = 0; i < count; ++i)
    place(control.items[static_cast<size_t>(i)],
          {px(8), top + i * itemHeight, std::max(box.width - px(10), 0), itemHeight});
}

// Tab follows the window order among siblings: the controls with a place in
// the tab order by that place, then the others in their creation order.
void FormWindow::arrangeTabOrder() {
  std::vector<HWND> parents{hwnd_};
  for (const auto& control : controls_)
    if (isContainer(control->component->kind())) parents.push_back(control->hwnd);
  for (HWND parent : parents) {
    std::vector<const Control*> children;
    for (const auto& control : controls_)
      if (control->hwnd && GetParent(control->hwnd) == parent) children.push_back(control.get());
    std::stable_sort(children.begin(), children.end(), [](const Control* a, const Control* b) {
      const int left = a->component->tabOrder();
      const int right = b->component->tabOrder();
      if ((left < 0) != (right < 0)) return right < 0;
      return left >= 0 && left < right;
    });
    HWND after = HWND_TOP;
    for (const Control* child : children) {
      SetWindowPos(child->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = child->hwnd;
    }
  }
  // A group's frame lies under what is inside it.
  for (const auto& control : controls_)
    if (control->frame) SetWindowPos(control->frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace orvel::gui::native
