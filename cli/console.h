// What the command line needs from the console it runs in: whether the user asked
// it to stop (Ctrl-C, or a request to terminate), and whether stderr is a
// terminal that a progress line can be drawn on. One file per platform.
#pragma once

#include <cstdio>
#include <string>

namespace zenor9::cli {

// From now on a stop request is only noted, never acted on at once: the command
// gives up at its next wait, finishes a prefix write already begun, and reports.
void CatchStopRequests();
// True once a stop was requested.
bool UserAskedToStop();
// The exit code the first stop request calls for: 130 for an interrupt (SIGINT,
// Ctrl-C), 143 for a request to terminate (SIGTERM); 0 while none came.
int StopExitCode();
// How the first stop request came, for messages ("SIGINT").
std::string StopName();

bool IsTerminal(std::FILE* stream);

}  // namespace zenor9::cli
