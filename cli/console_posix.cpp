// POSIX: SIGINT and SIGTERM noted by a handler, without SA_RESTART, so that a
// wait blocked in poll() returns at once and looks at the stop request.
#include <signal.h>
#include <unistd.h>

#include "cli/console.h"

namespace zenor9::cli {

namespace {

volatile sig_atomic_t firstStopSignal = 0;

void NoteStopSignal(int signal) {
  if (firstStopSignal == 0) firstStopSignal = signal;
}

}  // namespace

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool UserAskedToStop() {
  return firstStopSignal != 0;
}

int StopExitCode() {
  return firstStopSignal == 0 ? 0 : 128 + firstStopSignal;
}

std::string StopName() {
  switch (firstStopSignal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return {};
  }
}

bool IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) == 1;
}

}  // namespace zenor9::cli
