// The commands that talk to a register: each sets up the interface as the set-up
// dialog does (close, open, optional scan, identify, only version code 105), then
// does its job, and reports what happened in an Outcome.
#pragma once

#include <string>

#include "cli/connection.h"
#include "cli/live_output.h"
#include "cli/outcome.h"

namespace zenor9::cli {

Outcome IdentifyCommand(const Target& target);
// Always scans: the net number found is the result.
Outcome DetectCommand(const Target& target);
// Probes all 100 net numbers, going on after answers, identifies each register as
// it answers and prints its line at once; an address that answered, but not as
// a register should, gets its line too and makes the run fail.
Outcome ScanCommand(const Target& target, LiveOutput& live);
// Without a net number, read and write walk the whole line first and go on
// only when exactly one register answered, which they name.
Outcome ReadCommand(const Target& target);
// The request's value must already be valid: "20" to "29" or "off". The
// write is recorded through target.recordWrite, whatever it ended with.
Outcome WriteCommand(const Target& target, const WriteRequest& request);

}  // namespace zenor9::cli
