// identify, read and write on several registers of one line in one run: a list of
// net numbers, or everything a full scan finds. Each register gets its own
// set-up and command, and a failure on one does not stop the others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/connection.h"
#include "cli/live_output.h"
#include "cli/outcome.h"

namespace zenor9::cli {

enum class RegisterJob { Identify, Read, Write };

struct BatchRequest {
  RegisterJob job = RegisterJob::Identify;
  std::vector<uint8_t> nets;  // in increasing order; ignored with `all`
  bool all = false;           // every register that answers a full scan
  WriteRequest write;         // write: the value and how it is written
};

// Prints one line per register as soon as it is done, in net-number order, and
// returns the whole run: `registers` holds one entry per register done. With
// `all`, an address where something answered, but not as a register should,
// is listed as a failed register with what came back. The exit code is 0 when
// every register succeeded, else that of the first failing one; 1 when `all`
// finds nothing. A write is recorded through target.recordWrite for each
// register listed, or once when the run reached none. A port that goes away
// ends the run: the register it happened to fails with "port-lost", the
// registers after it are not reached.
Outcome BatchCommand(const Target& target, const BatchRequest& request, LiveOutput& live);

}  // namespace zenor9::cli
