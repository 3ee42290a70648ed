#include "win32/message_loop.h"

namespace zenor9::win32 {

bool HandleEnterAndEscape(const MSG& message) {
  const bool key =
      message.message == WM_KEYDOWN || message.message == WM_CHAR || message.message == WM_KEYUP;
  const bool enter = message.wParam == VK_RETURN;   // also '\r' as WM_CHAR
  const bool escape = message.wParam == VK_ESCAPE;  // also 0x1B as WM_CHAR
  if (!key || (!enter && !escape)) return false;
  if (enter && message.message == WM_KEYDOWN) {
    HWND focus = GetFocus();
    wchar_t className[16] = {};
    GetClassNameW(focus, className, 16);
    const LONG_PTR type = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
    if (lstrcmpiW(className, L"Button") == 0 &&
        (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)) {
      SendMessageW(focus, BM_CLICK, 0, 0);
    }
  }
  return true;
}

bool RunMessages(HWND window, const std::function<bool()>& done) {
  MSG message{};
  while (!done()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // After a failure of the queue itself (-1) the message holds nothing
      // that was got: the loops end with an exit code of failure.
      PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : kQueueFailedExitCode);
      return true;
    }
    if (HandleEnterAndEscape(message)) continue;
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return false;
}

}  // namespace zenor9::win32
