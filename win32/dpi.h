// The DPI of a window and the frame around a client area at a DPI. Windows 10
// (1607 and later) tells each window its monitor's DPI; Windows 7, 8 and 8.1
// lack those functions, and a program that imports them does not start there
// at all. So they are looked up at run time, and without them the system DPI
// counts, which is what those systems scale a DPI-aware program's windows by.
#pragma once

#include <windows.h>

#include "forms/forms.h"

namespace zenor9::win32 {

// The DPI the windows' descriptions are drawn at.
inline constexpr int kBaseDpi = 96;

// A length at 96 dpi as it is at `dpi`, rounded to the nearest pixel.
int Scale(int pixels, int dpi);
forms::Rect Scale(const forms::Rect& rect, int dpi);

int WindowDpi(HWND window);

// Grows `frame`, a client area, by the window's border, caption and menu at
// `dpi`.
void AdjustFrameForDpi(RECT& frame, DWORD style, DWORD exStyle, int dpi);

}  // namespace zenor9::win32
