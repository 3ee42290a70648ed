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

int Scale(int pixels, int dpi) {
  // Rounded half away from zero, as MulDiv does.
  const long long scaled = static_cast<long long>(pixels) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : (scaled - half) / kBaseDpi);
}

forms::Rect Scale(const forms::Rect& rect, int dpi) {
  // Edges are scaled, not sizes, so that neighbours that touch at 96 dpi still
  // touch at any other DPI.
  const int left = Scale(rect.left, dpi);
  const int top = Scale(rect.top, dpi);
  return {left, top, Scale(rect.left + rect.width, dpi) - left,
          Scale(rect.top + rect.height, dpi) - top};
}

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
