// Where the controls go: docking to the edges of their parent, the labels'
// room for their caption, the radio buttons of a radio group, and the tab
// order (the window order of siblings).
#include "platform/win32/gui_native.h"

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
  const Component& c = *control.component;
  if (c.align() == Align::None) place(control.hwnd, placedBounds(control));
  align();  // what is docked inside it, or docked beside it
}

// Where a control that is not docked goes. A combo box's window includes its
// dropped-down list; a label grows to show its whole caption, since this
// system's font may be wider than the one the layout was made with.
Bounds FormWindow::placedBounds(const Control& control) const {
  const Component& c = *control.component;
  Bounds b = c.bounds();
  if (c.kind() == Kind::ComboBox) b.height += 200;
  if (c.kind() == Kind::Label && !c.caption().empty() && control.hwnd) {
    HDC dc = GetDC(control.hwnd);
    HGDIOBJ previous = SelectObject(dc, fontOf(c));
    RECT text{0, 0, 0, 0};
    DrawTextW(dc, win32::wide(c.caption()), static_cast<int>(c.caption().size()), &text, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, previous);
    ReleaseDC(control.hwnd, dc);
    b.width = std::max<int>(b.width, text.right);
    b.height = std::max<int>(b.height, text.bottom);
  }
  return b;
}

void FormWindow::align() {
  if (hwnd_) alignWithin(nullptr, hwnd_);
}

void FormWindow::alignWithin(const Component* parent, HWND parentHwnd) {
  const Bounds designed = parent ? parent->bounds() : Bounds{0, 0, form_.clientWidth(), form_.clientHeight()};
  const int inset = alignInset(parent);
  Area design = areaOf(designed, inset);
  Area actual = areaOf(clientBounds(parentHwnd), inset);
  for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
    for (const auto& control : controls_) {
      const Component& c = *control->component;
      if (c.parent() != parent || c.align() != pass || !c.visible()) continue;
      place(control->hwnd, dock(pass, c.bounds(), design, actual));
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
  const int below = box.height - metrics.tmHeight - 5;
  const int itemHeight = std::max(below / count, 0);
  const int top = metrics.tmHeight + 1 + (below % count) / 2;
  for (int i = 0; i < count; ++i)
    place(control.items[static_cast<size_t>(i)], {8, top + i * itemHeight, std::max(box.width - 10, 0), itemHeight});
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
