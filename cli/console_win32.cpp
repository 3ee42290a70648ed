// Windows: the console's control events, noted by a handler that the system runs
// on a thread of its own. Ctrl-C and Ctrl-Break count as an interrupt (exit code
// 130, as SIGINT); closing the console, logging off and shutting down as a request
// to terminate (143, as SIGTERM).
#include <windows.h>

#include <io.h>
#include <atomic>

#include "cli/console.h"
#include "cli/outcome.h"

namespace zenor9::cli {

namespace {

constexpr int kInterrupt = 130;
constexpr int kTerminate = 143;

std::atomic<int> firstStopCode{0};

// Windows ends the process as soon as the handler of a close, log-off or
// shut-down event returns. Holding the handler lets the main thread stop at its
// next wait, finish a prefix write already begun and return from main, which
// ends the process; the system itself gives up after about five seconds.
constexpr DWORD kHoldForTheEndMs = 10'000;

BOOL WINAPI NoteControlEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  int none = 0;
  firstStopCode.compare_exchange_strong(none, interrupt ? kInterrupt : kTerminate);
  if (!interrupt) Sleep(kHoldForTheEndMs);
  return TRUE;
}

}  // namespace

void CatchStopRequests() {
  SetConsoleCtrlHandler(NoteControlEvent, TRUE);
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

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace zenor9::cli
