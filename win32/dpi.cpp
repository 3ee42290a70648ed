#include "win32/dpi.h"

namespace zenor9::win32 {

namespace {

// A function of user32 that this Windows may not have; null when it has not.
template <typename Function>
Function User32Function(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  // Through void (*)(), which converts to any function pointer type.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

}  // namespace

int DpiOf(HWND window) {
  static const auto perWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (perWindow != nullptr) return static_cast<int>(perWindow(window));
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

void AddFrame(RECT& area, DWORD style, DWORD exStyle, int dpi) {
  static const auto atDpi =
      User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  if (atDpi != nullptr) {
    atDpi(&area, style, FALSE, exStyle, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&area, style, FALSE, exStyle);  // the system's DPI is the only one
  }
}

}  // namespace zenor9::win32
