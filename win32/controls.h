// The control kinds that Windows does not offer as they are: the panel with its
// one-pixel raised bevel (and the status line, a panel showing its text), the
// footer label with its one-pixel shadow, the integer spin edit, and the flat
// tool bar with its images.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "forms/forms.h"
#include "handlers/spin_field.h"

namespace zenor9::win32 {

// Registers the window classes below; once per process.
void RegisterControlClasses(HINSTANCE instance);

// A panel: the face colour, a raised bevel one pixel wide, and its window text
// on one line, centred, in its font (WM_SETFONT) and text colour. Notifications
// of the controls it holds go on to its own parent.
inline constexpr wchar_t kPanelClass[] = L"Zenor9Panel";

// The footer label: opaque, its text first in black one pixel up and to the
// left, then in its text colour in its place.
inline constexpr wchar_t kShadowLabelClass[] = L"Zenor9ShadowLabel";

// The text colour of a panel or a shadowed label; the window text colour until
// one is set.
void SetTextColour(HWND window, COLORREF colour);

// The integer spin edit: an edit control and a spin button at its right end.
// The edit holds the text, which alone stores the value. The button's
// upper-left half (split along the diagonal from its top-right corner to its
// bottom-left one) steps up, its lower-right half down; held down, the step
// repeats after 400 ms, then every 100 ms. A press first moves the focus into
// the edit, as a click into it does. Every change of the text reaches the
// parent as EN_CHANGE.
inline constexpr wchar_t kSpinButtonClass[] = L"Zenor9SpinButton";
// Creates both controls inside `rect` (pixels at `dpi`); returns the edit.
HWND CreateSpinEdit(HWND parent, int id, const forms::Rect& rect, const wchar_t* text,
                    SpinRange range, DWORD style, int dpi);
// The spin button that belongs to the spin edit `edit` (its identifier is the
// edit's plus kSpinButtonIdOffset).
HWND SpinButtonOf(HWND edit);
// Writes the text as it is, unless it is already there: a text that stays as
// it was runs no change event.
void SetSpinEditText(HWND edit, const std::wstring& text);
// Steps the value by `delta` from the value as read, within the range; nothing
// when disabled. The caret goes to the end of the text.
void StepSpinEdit(HWND edit, int delta);
// Places the edit and its spin button inside `rect`, the button as wide as at
// `dpi`.
void PlaceSpinEdit(HWND edit, const forms::Rect& rect, int dpi);

// The flat tool bar's buttons and dividers, left to right.
using ToolItems = std::vector<const forms::Control*>;
// The flat tool bar: its buttons, with their images `imageSize` pixels square
// at 96 dpi, and its dividers, in the widths `items` give them; tool tips
// (which ask the parent for each button's hint). It takes no keyboard focus.
HWND CreateToolBar(HWND parent, int id, const ToolItems& items, int imageSize, int dpi);
// Loads the images and sizes the buttons for `dpi`.
void SizeToolBar(HWND toolBar, const ToolItems& items, int imageSize, int dpi);

std::wstring WindowText(HWND window);

}  // namespace zenor9::win32
