#include "win32/text_fit.h"

#include <algorithm>

#include "win32/fonts.h"

namespace zenor9::win32 {

namespace {

// As the button control draws them at 96 dpi: the check mark's square, a
// pixel of margin on each side of the text, and a push button's raised edge
// and focus rectangle on each side.
constexpr int kCheckMarkSize = 12;
constexpr int kTextMargin = 1;
constexpr int kPushButtonBevel = 3;

SIZE TextSize(HDC dc, const std::wstring& text, UINT lines) {
  RECT area{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | lines);
  return {area.right - area.left, area.bottom - area.top};
}

bool Fits(const SIZE& needed, const Rect& room) {
  return needed.cx <= room.width && needed.cy <= room.height;
}

bool AllFit(HDC dc, const WindowLayout& layout, int dpi) {
  return std::all_of(
      layout.controls.begin(), layout.controls.end(), [&](const ControlLayout& item) {
        return !ShowsFixedText(item.kind) ||
               Fits(NeededSize(dc, item.kind, item.text, dpi), Scale(item.rect, dpi));
      });
}

}  // namespace

bool ShowsFixedText(Kind kind) {
  return kind == Kind::Label || kind == Kind::CheckBox || kind == Kind::RadioButton ||
         kind == Kind::PushButton;
}

SIZE NeededSize(HDC dc, Kind kind, const std::wstring& text, int dpi) {
  if (kind == Kind::Label) return TextSize(dc, text, 0);
  const SIZE line = TextSize(dc, text, DT_SINGLELINE);
  const int margins = 2 * Scale(kTextMargin, dpi);
  if (kind == Kind::PushButton) {
    const int bevel = 2 * Scale(kPushButtonBevel, dpi);
    return {line.cx + margins + bevel, line.cy + margins + bevel};
  }
  // The gap after the mark is half a digit's width of the font.
  INT digit = 0;
  GetCharWidth32W(dc, L'0', L'0', &digit);
  const int mark = Scale(kCheckMarkSize, dpi) + 1;
  return {mark + digit / 2 + line.cx + margins, std::max<LONG>(mark, line.cy + margins)};
}

int LargestFittingPixels(HWND window, const WindowLayout& layout, int dpi, int wanted,
                         int smallest) {
  HDC dc = GetDC(window);
  int pixels = wanted;
  for (; pixels > smallest; --pixels) {
    HFONT font = MakeFormFont(pixels);
    HGDIOBJ old = SelectObject(dc, font);
    const bool fits = AllFit(dc, layout, dpi);
    SelectObject(dc, old);
    DeleteObject(font);
    if (fits) break;
  }
  ReleaseDC(window, dc);
  return pixels;
}

}  // namespace zenor9::win32
