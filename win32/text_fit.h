// Whether a control's text shows whole: the size a control of the windows'
// descriptions needs to show its text in a font, against the rectangle the table
// gives it. Where the layout's own face is missing, a window takes the largest
// form font at which every text fits.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "forms/forms.h"

namespace zenor9::win32 {

// Whether controls of `kind` show a text of their own in the form font: labels,
// check boxes, radio buttons and push buttons.
bool ShowsFixedText(forms::Kind kind);

// The size a control of `kind` needs at `dpi` to show `text` whole in the font
// selected into `dc`: the text itself for a label (each of its lines), beside
// the mark of a check box or radio button, inside the bevel of a push button.
SIZE NeededSize(HDC dc, forms::Kind kind, const std::wstring& text, int dpi);

// The largest form font size in pixels, from `wanted` down to `smallest`, at
// which every fixed text in the form font of `form` fits the rectangle the
// form gives its control at `dpi`; `smallest` when none does. `window` lends
// its screen for the measuring.
int LargestFittingPixels(HWND window, const forms::Form& form, int dpi, int wanted, int smallest);

// How many pixels wider than GDI's extent `text` may be drawn in `control`'s
// font: 0 where it is drawn as measured.
int MissingWidth(HWND control, std::wstring_view text);

// `text` as a control that sizes itself by GDI's extent (a tool tip) must be
// given it to show it whole in its font: each line with as many no-break
// spaces at its end as cover what it is drawn wider than that extent (none
// where it is drawn as measured). Lines end in "\n".
std::wstring PaddedToDrawnWidth(HWND control, std::wstring_view text);

}  // namespace zenor9::win32
