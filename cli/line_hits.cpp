#include "cli/line_hits.h"

#include "cli/report.h"
#include "link/net_number.h"

namespace zenor9::cli {

std::optional<std::vector<LineHit>> SurveyTheLine(Connection& connection,
                                                  const ProbeObserver& onProbe) {
  std::vector<LineHit> hits;
  if (!SurveyLine(connection.channel, connection.policy, onProbe,
                  [&hits](const LineHit& hit) { hits.push_back(hit); })) {
    return std::nullopt;
  }
  return hits;
}

std::string StrayText(const LineHit& hit) {
  return Tr("byte %s came back instead of the echo %s", HexText(hit.received),
            HexText(AddressByteOfNetNumber(hit.net)));
}

void FailStray(const LineHit& hit, Outcome& outcome) {
  outcome.net = hit.net;
  Fail(outcome, kExitFailed, "stray-byte", StrayText(hit));
}

nlohmann::ordered_json StrayJson(const LineHit& hit) {
  return {{"net", hit.net}, {"ok", false}, {"other", hit.received}, {"error", "stray-byte"}};
}

std::string NamedHits(const std::vector<LineHit>& hits) {
  std::string named;
  for (const LineHit& hit : hits) {
    if (!named.empty()) named += ", ";
    named += RegisterName(hit.net);
    if (!hit.answered) named += " (" + StrayText(hit) + ")";
  }
  return named;
}

}  // namespace zenor9::cli
