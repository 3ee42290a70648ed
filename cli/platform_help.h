// The parts of the help that differ between platforms, so that each platform's
// help describes what that platform has: how a run is stopped and the exit
// codes that follows, whether the virtual register exists, and the marks the
// doctor draws. One file per platform.
#pragma once

#include <string>
#include <vector>

#include "cli/help_texts.h"

namespace zenor9::cli {

// The exit codes a stop request can give, with what each means.
std::vector<ExitCodeHelp> StopExitCodes();
// The paragraph on stopping a run.
const char* StopHelp();
// Whether `zenor9 sim` serves registers here (it needs pseudo-terminals); where
// it does not, its command is left out of the help.
bool HasVirtualRegister();
// The mark before a doctor's check: one that every console font of the
// platform draws.
std::string CheckMark(bool ok);

}  // namespace zenor9::cli
