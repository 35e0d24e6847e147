// What the backend draws itself: the folder picture, picture buttons and
// the panels' bevel and caption.
#include "gui/win32/native.h"

#include <algorithm>

namespace orvel::gui::native {
namespace {

// The folder, a pixel each: K outline, L light edge, Y face, D shade.
constexpr const char* kFolder[16] = {
    "................",  //
    "................",  //
    "..KKKKK.........",  //
    ".KLLLLLK........",  //
    "KLYYYYYLKKKKKKK.",  //
    "KLLLLLLLLLLLLLLK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KLYYYYYYYYYYYYDK",  //
    "KDDDDDDDDDDDDDDK",  //
    ".KKKKKKKKKKKKKK.",  //
    "................",  //
};

COLORREF folderColour(char pixel) {
  switch (pixel) {
    case 'K':
      return RGB(128, 96, 0);
    case 'L':
      return RGB(255, 244, 188);
    case 'Y':
      return RGB(255, 216, 96);
    case 'D':
      return RGB(208, 160, 40);
  }
  return CLR_INVALID;
}

// The dark pixels make the greyed picture's outline.
bool isOutline(char pixel) { return pixel == 'K' || pixel == 'D'; }

void drawCaption(HDC dc, const RECT& area, const Str& caption, HFONT font, UINT format, bool enabled) {
  if (caption.empty()) return;
  HGDIOBJ previous = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  RECT box = area;
  DrawTextW(dc, win32::wide(caption), static_cast<int>(caption.size()), &box, format);
  SelectObject(dc, previous);
}

// One pixel of the picture, as many screen pixels as the DPI makes it:
// whole pixels each, so that the picture stays sharp.
void fillPicturePixel(HDC dc, int x, int y, int column, int row, int dpi, COLORREF colour) {
  const RECT cell{x + scaledToDpi(column, dpi), y + scaledToDpi(row, dpi), x + scaledToDpi(column + 1, dpi),
                  y + scaledToDpi(row + 1, dpi)};
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
}

}  // namespace

void drawFolderGlyph(HDC dc, int x, int y, bool enabled, int dpi) {
  const COLORREF background = GetBkColor(dc);
  if (enabled) {
    for (int row = 0; row < 16; ++row)
      for (int column = 0; column < 16; ++column)
        if (COLORREF colour = folderColour(kFolder[row][column]); colour != CLR_INVALID)
          fillPicturePixel(dc, x, y, column, row, dpi, colour);
  } else {
    // Greyed as the system greys pictures: the outline in the highlight
    // colour one pixel down and right, then in the shadow colour on top.
    const int offset = std::max(1, scaledToDpi(1, dpi));
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    for (int row = 0; row < 16; ++row)
      for (int column = 0; column < 16; ++column)
        if (isOutline(kFolder[row][column]))
          fillPicturePixel(dc, x + offset, y + offset, column, row, dpi, highlight);
    for (int row = 0; row < 16; ++row)
      for (int column = 0; column < 16; ++column)
        if (isOutline(kFolder[row][column])) fillPicturePixel(dc, x, y, column, row, dpi, shadow);
  }
  SetBkColor(dc, background);
}

void FormWindow::paintContainer(const Control& control, HDC dc) {
  // Group boxes and radio groups draw their frame with a child; a panel has
  // a raised bevel and its caption in the middle.
  if (control.component->kind() != Kind::Panel) return;
  RECT area;
  GetClientRect(control.hwnd, &area);
  DrawEdge(dc, &area, BDR_RAISEDINNER, BF_RECT);
  drawCaption(dc, area, control.component->caption(), fontOf(*control.component),
              DT_CENTER | DT_VCENTER | DT_SINGLELINE, IsWindowEnabled(control.hwnd) != 0);
}

void FormWindow::paintPictureButton(const Control& control, HDC dc) {
  const Component& button = *control.component;
  RECT area;
  GetClientRect(control.hwnd, &area);
  FillRect(dc, &area, backgroundBrush(button.parent()));
  const bool enabled = IsWindowEnabled(control.hwnd) != 0;
  const bool down = enabled && control.pressed;
  // Flat: a border only while the mouse is over it or holds it down.
  if (!button.flat())
    DrawEdge(dc, &area, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  else if (down)
    DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT);
  else if (control.hot && enabled)
    DrawEdge(dc, &area, BDR_RAISEDINNER, BF_RECT);
  const int shift = down ? 1 : 0;
  if (button.glyph() == Glyph::Folder) {
    const int size = px(16);
    drawFolderGlyph(dc, (area.right - size) / 2 + shift, (area.bottom - size) / 2 + shift, enabled, dpi_);
    return;
  }
  RECT text = area;
  OffsetRect(&text, shift, shift);
  drawCaption(dc, text, button.caption(), fontOf(button), DT_CENTER | DT_VCENTER | DT_SINGLELINE, enabled);
}

}  // namespace orvel::gui::native
