// What a read or write over one register or several came to, counted: the
// summary that scripts and playbooks read, and its line for people.
#pragma once

#include <string>

#include "cli/outcome.h"

namespace zenor9::cli {

// Puts `summary` and the top-level `changed` into the outcome of a read or a
// write. A run over several registers (`several`) counts its entries; a run on
// one register counts that register, failed when the run failed. `changed`
// counts every register that changed, a failed one too; `unchanged` those done
// without a change.
void Summarize(Outcome& outcome, bool several);

// The summary in words: "total: 5 registers, 3 changed, 2 unchanged, 0 failed",
// and under --check "3 would change".
std::string SummaryLine(const Outcome& outcome);

}  // namespace zenor9::cli
