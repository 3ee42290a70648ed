// What a walk over the whole line found, as the commands report it: every
// address where something answered, a register or not, with its net number,
// so that nothing on the line is passed over in silence.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/connection.h"
#include "cli/outcome.h"
#include "operations/line_survey.h"

namespace zenor9::cli {

// The whole walk, a stray byte probed again as often as the connection's
// policy tries exchanges; every hit in net-number order. Nothing when a stop
// request cut it short, which may have missed an answer.
std::optional<std::vector<LineHit>> SurveyTheLine(Connection& connection,
                                                  const ProbeObserver& onProbe);

// What came back at an address that did not answer as a register: "byte 5A
// came back instead of the echo FC".
std::string StrayText(const LineHit& hit);
// A hit that is no register, as the failure of its net number.
void FailStray(const LineHit& hit, Outcome& outcome);
// Its entry among the registers of a JSON result.
nlohmann::ordered_json StrayJson(const LineHit& hit);

// "ККМ 3, ККМ 7" for the hits, a stray byte with what came back.
std::string NamedHits(const std::vector<LineHit>& hits);

}  // namespace zenor9::cli
