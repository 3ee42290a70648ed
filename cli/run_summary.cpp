#include "cli/run_summary.h"

namespace zenor9::cli {

namespace {

struct Counts {
  int registers = 0;
  int changed = 0;
  int unchanged = 0;
  int failed = 0;

  void Add(bool ok, bool changedIt) {
    ++registers;
    changed += changedIt ? 1 : 0;
    unchanged += ok && !changedIt ? 1 : 0;
    failed += ok ? 0 : 1;
  }
};

}  // namespace

void Summarize(Outcome& outcome, bool several) {
  Counts counts;
  if (!several) {
    counts.Add(outcome.Ok(), outcome.changed.value_or(false));
  } else if (outcome.registers) {
    for (const nlohmann::ordered_json& entry : *outcome.registers) {
      counts.Add(entry.value("ok", false), entry.value("changed", false));
    }
  }
  outcome.changed = counts.changed > 0;
  outcome.summary = nlohmann::ordered_json{{"registers", counts.registers},
                                           {"changed", counts.changed},
                                           {"unchanged", counts.unchanged},
                                           {"failed", counts.failed}};
}

std::string SummaryLine(const Outcome& outcome) {
  const nlohmann::ordered_json& summary = *outcome.summary;
  return Tr(outcome.check ? N_("total: %s registers, %s would change, %s unchanged, %s failed")
                          : N_("total: %s registers, %s changed, %s unchanged, %s failed"),
            summary["registers"].get<int>(), summary["changed"].get<int>(),
            summary["unchanged"].get<int>(), summary["failed"].get<int>());
}

}  // namespace zenor9::cli
