// What the command line's prefix writes leave in the journal: each write the
// write command began, done or failed, as one line with who, where and when.
#pragma once

#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/outcome.h"
#include "journal/record.h"

namespace zenor9::cli {

// What one write on one register came to, as the write path knows it.
struct JournalFacts {
  std::optional<int> net;             // the register's; none when the write found none
  std::optional<std::string> before;  // the prefix read before the write; none when unread
  bool readBack = false;              // the cells were read after the write (the
                                      // read-back, or the read after a failure)
  std::optional<std::string> holds;   // what that read found; none when it failed
  bool ok = false;
  std::string error;     // the outcome's error key; empty on success
  bool stopped = false;  // a stop request came while the write ran
  bool written = false;  // a write frame went to the register
  bool changed = false;  // it holds something else than before, or may
};

// Appends one line for a write of `invocation` (the write command: its port
// as given, the device it stood for, the value asked) with `facts`, the time,
// the host, the user and the program's version, to the journal that
// journal::JournalLocation() names. Call it once for each register a write was
// begun on, after its read-back, whether it succeeded or not; a batch calls it
// once per register. With --no-journal nothing is written.
//
// Returns the warning to show when the line could not be written: it names the
// journal and says why, in the user's language ("the write was not recorded in
// the journal: PATH: REASON"), for Outcome::warning. The write's own result and
// exit code never depend on it.
// The facts of one register's write as its outcome has them; `stopped`: a
// stop request came while it ran.
JournalFacts FactsOfWrite(const Outcome& write, bool stopped);

std::optional<std::string> RecordWriteInJournal(
    const Invocation& invocation, const JournalFacts& facts,
    const journal::TimeSource& now = journal::SystemLocalTime);

}  // namespace zenor9::cli
