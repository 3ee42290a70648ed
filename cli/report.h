// Prints an outcome: one JSON object on stdout, or the result on stdout and the
// message on stderr.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "cli/outcome.h"

namespace zenor9::cli {

nlohmann::ordered_json OutcomeJson(const Outcome& outcome);
// What a failed write left in the register ("в ККМ сейчас: 27"); empty when the
// outcome does not say.
std::string HoldsText(const Outcome& outcome);
// Prints the outcome and returns its exit code.
int Report(const Outcome& outcome, bool json);

}  // namespace zenor9::cli
