// The message loop when GetMessageW fails (-1), leaving the message undefined
// (here 0xA5 bytes): it ends and posts WM_QUIT with its own failure code,
// never a value from that message. Exit code 0 when it does.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "win32/message_loop.h"

namespace {

int calls = 0;

BOOL WINAPI FailingGetMessage(MSG* message, HWND, UINT, UINT) {
  ++calls;
  std::memset(message, 0xA5, sizeof *message);
  return -1;
}

}  // namespace

// The loop calls GetMessageW through this import slot: the linker takes this
// definition before user32's.
extern "C" {
BOOL(WINAPI* __imp_GetMessageW)(MSG*, HWND, UINT, UINT) = FailingGetMessage;
}

int main() {
  const bool quit = zenor9::win32::RunMessages(nullptr, [] { return calls > 1; });
  MSG posted{};
  const bool found = PeekMessageW(&posted, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  std::printf(
      "loop ended by quit: %d, GetMessageW called %d times, WM_QUIT posted: %d, code %llu\n", quit,
      calls, found, static_cast<unsigned long long>(posted.wParam));
  const bool ok = quit && calls == 1 && found &&
                  posted.wParam == static_cast<WPARAM>(zenor9::win32::kQueueFailedExitCode);
  return ok ? 0 : 1;
}
