// POSIX: the stop signals noted by a handler, without SA_RESTART, so that a wait
// blocked in poll() returns at once and looks at the stop request. Every other
// call on the link's path repeats itself when a signal cuts it short.
#include <signal.h>
#include <unistd.h>

#include "cli/console.h"

namespace zenor9::cli {

namespace {

struct StopSignal {
  int number;
  const char* name;
};

// Each ends a program by default: a closed terminal (SIGHUP), Ctrl-C, Ctrl-\,
// kill and a session's end.
constexpr StopSignal kStopSignals[] = {
    {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}, {SIGQUIT, "SIGQUIT"}, {SIGTERM, "SIGTERM"}};

volatile sig_atomic_t firstStopSignal = 0;
sigset_t maskBeforeHold;

void NoteStopSignal(int signal) {
  if (firstStopSignal == 0) firstStopSignal = signal;
}

sigset_t StopSignalSet() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const StopSignal& each : kStopSignals) sigaddset(&signals, each.number);
  return signals;
}

}  // namespace

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  // A second stop signal waits while the handler runs: the first one counts.
  action.sa_mask = StopSignalSet();
  action.sa_flags = 0;
  for (const StopSignal& each : kStopSignals) sigaction(each.number, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool UserAskedToStop() {
  return firstStopSignal != 0;
}

int StopExitCode() {
  return firstStopSignal == 0 ? 0 : 128 + firstStopSignal;
}

std::string StopName() {
  for (const StopSignal& each : kStopSignals) {
    if (each.number == firstStopSignal) return each.name;
  }
  return {};
}

void HoldStopRequests() {
  const sigset_t signals = StopSignalSet();
  sigprocmask(SIG_BLOCK, &signals, &maskBeforeHold);
}

void ReleaseStopRequests() {
  sigprocmask(SIG_SETMASK, &maskBeforeHold, nullptr);
}

bool IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) == 1;
}

}  // namespace zenor9::cli
