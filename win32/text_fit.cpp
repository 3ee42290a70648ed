#include "win32/text_fit.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "link/win32_text.h"
#include "win32/dpi.h"
#include "win32/fonts.h"

namespace zenor9::win32 {

namespace {

// As the button control draws them at 96 dpi: the check mark's square, a
// pixel of margin on each side of the text, and a push button's raised edge
// and focus rectangle on each side.
constexpr int kCheckMarkSize = 12;
constexpr int kTextMargin = 1;
constexpr int kPushButtonBevel = 3;

// The advance of a line drawn without antialiasing: the sum of its glyphs'
// advances as black-and-white bitmaps.
int MonochromeAdvance(HDC dc, std::wstring_view line) {
  constexpr MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  int advance = 0;
  for (const wchar_t c : line) {
    GLYPHMETRICS glyph{};
    if (GetGlyphOutlineW(dc, c, GGO_BITMAP, &glyph, 0, nullptr, &kIdentity) != GDI_ERROR)
      advance += glyph.gmCellIncX;
  }
  return advance;
}

// The lines of `text`, broken at "\n" or "\r\n".
std::vector<std::wstring_view> Lines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = std::min(text.find(L'\n', start), text.size());
    std::wstring_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

LONG Extent(HDC dc, std::wstring_view line) {
  SIZE extent{};
  GetTextExtentPoint32W(dc, line.data(), static_cast<int>(line.size()), &extent);
  return extent.cx;
}

// The text's extent as GDI reports it is how it is drawn with the font's own
// smoothing. Wine draws black-and-white glyphs (no font smoothing) at their
// bitmaps' advances, which may be wider: the larger of the two is what a line
// may take.
LONG LineWidth(HDC dc, std::wstring_view line) {
  return std::max<LONG>(Extent(dc, line), MonochromeAdvance(dc, line));
}

SIZE TextSize(HDC dc, std::wstring_view text) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const std::vector<std::wstring_view> lines = Lines(text);
  LONG width = 0;
  for (const std::wstring_view line : lines) width = std::max(width, LineWidth(dc, line));
  return {width, static_cast<LONG>(lines.size()) * metrics.tmHeight};
}

bool Fits(const SIZE& needed, const forms::Rect& room) {
  return needed.cx <= room.width && needed.cy <= room.height;
}

bool AllFit(HDC dc, const forms::Form& form, int dpi) {
  return std::all_of(form.controls.begin(), form.controls.end(), [&](const forms::Control& item) {
    return !ShowsFixedText(item.kind) || item.style != nullptr ||
           Fits(NeededSize(dc, item.kind, Wide(item.text), dpi), Scale(item.rect, dpi));
  });
}

}  // namespace

bool ShowsFixedText(forms::Kind kind) {
  using forms::Kind;
  return kind == Kind::Label || kind == Kind::CheckBox || kind == Kind::RadioButton ||
         kind == Kind::PushButton;
}

SIZE NeededSize(HDC dc, forms::Kind kind, const std::wstring& text, int dpi) {
  const SIZE size = TextSize(dc, text);
  if (kind == forms::Kind::Label) return size;
  const int margins = 2 * Scale(kTextMargin, dpi);
  if (kind == forms::Kind::PushButton) {
    const int bevel = 2 * Scale(kPushButtonBevel, dpi);
    return {size.cx + margins + bevel, size.cy + margins + bevel};
  }
  // The gap after the mark is half a digit's width of the font.
  INT digit = 0;
  GetCharWidth32W(dc, L'0', L'0', &digit);
  const int mark = Scale(kCheckMarkSize, dpi) + 1;
  return {mark + digit / 2 + size.cx + margins, std::max<LONG>(mark, size.cy + margins)};
}

int LargestFittingPixels(HWND window, const forms::Form& form, int dpi, int wanted, int smallest) {
  HDC dc = GetDC(window);
  int pixels = wanted;
  for (; pixels > smallest; --pixels) {
    HFONT font = MakeFont(form.font, pixels);
    HGDIOBJ old = SelectObject(dc, font);
    const bool fits = AllFit(dc, form, dpi);
    SelectObject(dc, old);
    DeleteObject(font);
    if (fits) break;
  }
  ReleaseDC(window, dc);
  return pixels;
}

int MissingWidth(HWND control, std::wstring_view text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  LONG missing = 0;
  for (const std::wstring_view line : Lines(text))
    missing = std::max(missing, LineWidth(dc, line) - Extent(dc, line));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return static_cast<int>(missing);
}

std::wstring PaddedToDrawnWidth(HWND control, std::wstring_view text) {
  constexpr wchar_t kNoBreakSpace = L'\u00A0';
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  const LONG space = std::max<LONG>(1, Extent(dc, std::wstring_view(&kNoBreakSpace, 1)));
  std::wstring padded;
  for (const std::wstring_view line : Lines(text)) {
    if (!padded.empty()) padded += L'\n';
    padded += line;
    const LONG missing = LineWidth(dc, line) - Extent(dc, line);
    padded.append(static_cast<std::size_t>((missing + space - 1) / space), kNoBreakSpace);
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return padded;
}

}  // namespace zenor9::win32
