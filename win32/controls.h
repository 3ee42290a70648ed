// The control kinds that Windows does not offer as they are: the panel with its
// one-pixel raised bevel (and the status line, a panel showing its text), the
// footer label with its one-pixel shadow, the integer spin edit, and the flat
// tool bar with its images.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "handlers/spin_field.h"
#include "win32/layout.h"

namespace zenor9::win32 {

// Registers the window classes below; once per process.
void RegisterControlClasses(HINSTANCE instance);

// A panel: the face colour, a raised bevel one pixel wide, and its window text
// on one line, centred, in its font (WM_SETFONT) and text colour. Notifications
// of the controls it holds go on to its own parent.
inline constexpr wchar_t kPanelClass[] = L"Zenor9Panel";
void SetPanelTextColor(HWND panel, COLORREF color);

// The footer label: opaque, its text first in black one pixel up and to the
// left, then in white in its place.
inline constexpr wchar_t kShadowLabelClass[] = L"Zenor9ShadowLabel";

// The integer spin edit: an edit control and a spin button at its right end.
// The edit holds the text, which alone stores the value. The button's
// upper-left half (split along the diagonal from its top-right corner to its
// bottom-left one) steps up, its lower-right half down; held down, the step
// repeats after 400 ms, then every 100 ms. A press first moves the focus into
// the edit, as a click into it does. Every change of the text reaches the
// parent as EN_CHANGE.
inline constexpr wchar_t kSpinButtonClass[] = L"Zenor9SpinButton";
// Creates both controls inside `rect` (pixels at `dpi`); returns the edit.
HWND CreateSpinEdit(HWND parent, int id, const Rect& rect, const wchar_t* text, SpinRange range,
                    DWORD style, int dpi);
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
void PlaceSpinEdit(HWND edit, const Rect& rect, int dpi);

// The flat tool bar: buttons of 39 by 38 pixels with 32 by 32 images at 96 dpi,
// dividers, tooltips with each button's hint. It takes no keyboard focus.
HWND CreateToolBar(HWND parent, int id, std::span<const ToolButtonInfo> buttons, int dpi);
// Loads the images and sizes the buttons for `dpi`.
void SizeToolBar(HWND toolBar, std::span<const ToolButtonInfo> buttons, int dpi);
// The hint of tool button `id`, for the tooltip; nullptr when it has none.
const wchar_t* ToolButtonHint(int id);

std::wstring WindowText(HWND window);

}  // namespace zenor9::win32
