#include "win32/dpi.h"

namespace zenor9::win32 {

namespace {

// A function of user32 that this Windows may lack, null when it does.
template <typename Function>
Function UserFunction(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  // Through the generic function pointer type, which any function pointer
  // converts to and from.
  using Generic = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(user32, name)));
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = UserFunction<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow == nullptr) return SystemDpi();
  return static_cast<int>(getDpiForWindow(window));
}

void AdjustFrameForDpi(RECT& frame, DWORD style, DWORD exStyle, int dpi) {
  using AdjustFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = UserFunction<AdjustFunction>("AdjustWindowRectExForDpi");
  if (adjustForDpi == nullptr) {
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return;
  }
  adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
}

}  // namespace zenor9::win32
