// What the command line needs from the console it runs in: whether the user asked
// it to stop (Ctrl-C, a hang-up, a request to terminate), a section that no stop
// request cuts into, and whether stderr is a terminal that a progress line can be
// drawn on. One file per platform.
#pragma once

#include <cstdio>
#include <string>

namespace zenor9::cli {

// From now on a stop request is only noted, never acted on at once: the command
// gives up at its next wait, finishes a prefix write already begun, and reports.
// POSIX: SIGHUP, SIGINT, SIGQUIT and SIGTERM; SIGPIPE is ignored, so that a
// reader that went away ends only the printing. Windows: the console's control
// events and the end of the session.
void CatchStopRequests();
// True once a stop was requested.
bool UserAskedToStop();
// The exit code the first stop request calls for, 128 + the signal's number
// (130 for SIGINT or Ctrl-C, 143 for SIGTERM or the console closed); 0 while
// none came.
int StopExitCode();
// How the first stop request came, for messages ("SIGINT").
std::string StopName();

// Between these two a stop request waits: on POSIX the stop signals are blocked,
// so that none cuts a system call short (a parity switch, a drain), and are
// noted once the section ends. Not nested.
void HoldStopRequests();
void ReleaseStopRequests();

bool IsTerminal(std::FILE* stream);

}  // namespace zenor9::cli
