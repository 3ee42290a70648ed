// Windows: the console's control events, noted by a handler that the system runs
// on a thread of its own. Ctrl-C and Ctrl-Break count as an interrupt (exit code
// 130, as SIGINT); closing the console, logging off and shutting down as a request
// to terminate (143, as SIGTERM).
#include <windows.h>

#include <io.h>
#include <atomic>
#include <thread>

#include "cli/console.h"
#include "cli/outcome.h"

namespace zenor9::cli {

namespace {

constexpr int kInterrupt = 130;
constexpr int kTerminate = 143;

std::atomic<int> firstStopCode{0};

// Windows ends the process as soon as the handler of a close, log-off or
// shut-down event returns, and a session once the program has answered its end.
// Holding the answer lets the main thread stop at its next wait, finish a
// prefix write already begun and return from main, which ends the process; the
// system itself gives up after about five seconds.
constexpr DWORD kHoldForTheEndMs = 10'000;

void NoteStop(int code) {
  int none = 0;
  firstStopCode.compare_exchange_strong(none, code);
}

BOOL WINAPI NoteControlEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  NoteStop(interrupt ? kInterrupt : kTerminate);
  if (!interrupt) Sleep(kHoldForTheEndMs);
  return TRUE;
}

// A console program that has user32 loaded (winmm and setupapi load it) gets
// no log-off or shut-down control event: Windows tells it of the session's end
// through its top-level windows. This hidden one takes those messages.
LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION) {
    NoteStop(kTerminate);
    return TRUE;
  }
  if (message == WM_ENDSESSION) {
    if (wParam) Sleep(kHoldForTheEndMs);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void WatchTheSession() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = SessionWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"zenor9-session";
  if (RegisterClassW(&windowClass) == 0) return;
  // Never shown; a message-only window would not hear of the session's end.
  if (CreateWindowExW(0, windowClass.lpszClassName, L"zenor9", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                      nullptr, windowClass.hInstance, nullptr) == nullptr) {
    return;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

}  // namespace

void CatchStopRequests() {
  SetConsoleCtrlHandler(NoteControlEvent, TRUE);
  // Lives as long as the process; its end ends the thread.
  std::thread(WatchTheSession).detach();
}

bool UserAskedToStop() {
  return firstStopCode.load() != 0;
}

int StopExitCode() {
  return firstStopCode.load();
}

std::string StopName() {
  switch (firstStopCode.load()) {
    case kInterrupt:
      return "Ctrl-C";
    case kTerminate:
      return Tr("a request to terminate");
    default:
      return {};
  }
}

// Nothing on Windows cuts a call short: the stop requests are noted on threads
// of their own, and a begun write already runs without a stop check.
void HoldStopRequests() {}
void ReleaseStopRequests() {}

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace zenor9::cli
