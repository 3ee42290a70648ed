// The COM map on the command line: what each COMn stands for and where that
// comes from, and `zenor9 ports --map COM1=PATH` / `--unmap COM1`.
#pragma once

#include <string>

#include "cli/outcome.h"
#include "link/clock.h"

namespace zenor9::cli {

// Adds to `ports`' result: COM1 to COM4 and every other COMn the environment or
// the map file names, each with its device and source (or why it has none);
// the map file and the lines of it that were ignored.
void AddComMap(Outcome& outcome);

// Writes COMn=PATH into this user's map file (`entry` as given on the command
// line), warning when PATH is not there or is not a serial device. Another
// run's hold on the map is waited for on `clock`, a few seconds at most.
Outcome MapComCommand(const std::string& entry, Clock& clock = SystemClock::Instance());
// Removes COMn from this user's map file; says so when the map has no line
// for it, and leaves the file as it was.
Outcome UnmapComCommand(const std::string& name, Clock& clock = SystemClock::Instance());

// The checks of the two options' values: a usage message, or empty when fine.
std::string CheckMapEntry(const std::string& entry);
std::string CheckComName(const std::string& name);

}  // namespace zenor9::cli
