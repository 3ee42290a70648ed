// `zenor9 journal`: the journal of prefix writes in the user's language, oldest
// first, or its records as JSON; only the writes to some net numbers, through
// a port, or from a date on.
#pragma once

#include "cli/command_line.h"

namespace zenor9::cli {

// Lists the journal that journal::JournalLocation() names, filtered by
// invocation.journalFilter: each record a line on stdout, or with --json the
// records as kept, one JSON array. Damaged lines are said on stderr and
// skipped. Returns the exit code: 0 when listed (nothing to list too), 1 when
// the journal could not be read (what could be read is listed).
int JournalCommand(const Invocation& invocation);

// The journal command's help: what a line says, where the journal lives, its
// rotation, --json.
const char* JournalHelp();

}  // namespace zenor9::cli
