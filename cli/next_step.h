// What to do after a failure of the link, said after the message: the doctor on
// the user's own port, the net number that a scan ended early missed, or the
// COM map when it gives the port no device.
#pragma once

#include "cli/command_line.h"
#include "cli/outcome.h"

namespace zenor9::cli {

// Sets outcome.nextStep when the port did not open, no register answered or a
// command on it failed, for one register or any of several; a stopped run and
// every other outcome get none.
void AddNextStep(const Invocation& invocation, Outcome& outcome);

}  // namespace zenor9::cli
