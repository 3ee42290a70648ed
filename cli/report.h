// Prints an outcome: one JSON object on stdout, or the result on stdout and the
// message on stderr.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "cli/outcome.h"

namespace zenor9::cli {

// "ККМ 7" ("register 7"), as every line that names a register begins.
std::string RegisterName(int net);
// A line about one register: "ККМ 7: 25".
std::string NamedLine(int net, const std::string& text);
// A prefix as the user reads it: "25", or the user's word for off ("выкл").
std::string ShownPrefix(const std::string& prefix);

nlohmann::ordered_json OutcomeJson(const Outcome& outcome);
// What a failed write left in the register ("в ККМ сейчас: 27"); empty when the
// outcome does not say, or its message already does (a mismatch).
std::string HoldsText(const Outcome& outcome);
// Prints the outcome and returns its exit code.
int Report(const Outcome& outcome, bool json);

}  // namespace zenor9::cli
