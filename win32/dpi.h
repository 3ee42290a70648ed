// The DPI a window is drawn at. Windows 10 (1607 and later) tells it per
// window and monitor; Windows 7 and 8.1 have only the system's DPI, and no
// function of the newer ones: they are looked up at run time, so that the
// program starts there too.
#pragma once

#include <windows.h>

namespace zenor9::win32 {

// The DPI `window` is drawn at: its monitor's, else the system's.
int DpiOf(HWND window);

// Widens `area`, a client rectangle, to the window rectangle that holds it
// with the frame that `style` and `exStyle` give at `dpi`.
void AddFrame(RECT& area, DWORD style, DWORD exStyle, int dpi);

}  // namespace zenor9::win32
