#include "cli/batch_commands.h"

#include <optional>

#include "cli/console.h"
#include "cli/line_hits.h"
#include "cli/report.h"
#include "operations/setup.h"

namespace zenor9::cli {

namespace {

// The registers a list names, as if each had answered its probe.
std::vector<LineHit> ListedRegisters(const std::vector<uint8_t>& nets) {
  std::vector<LineHit> hits;
  for (uint8_t net : nets) hits.push_back({net, true});
  return hits;
}

// The register's own set-up and command; nothing when a stop request cut it
// short or came before it began. A write once begun is never cut short:
// whatever it ends with is the register's state.
std::optional<Outcome> RunJob(Connection& connection, uint8_t net, const BatchRequest& request) {
  Outcome one;
  one.net = net;  // also when the port goes away before identify answers
  const int retriedBefore = connection.retried;
  if (request.job == RegisterJob::Write) {
    one.asked = request.write.value;
    one.written = false;
    one.changed = false;
  }
  if (IdentifyAt(connection, net, one)) {
    if (request.job == RegisterJob::Read) ReadPrefix(connection, one);
    if (request.job == RegisterJob::Write) WriteOnRegister(connection, request.write, one);
  }
  one.retries = connection.retried - retriedBefore;
  if (one.EndedByStop()) return std::nullopt;
  return one;
}

std::string RegisterLine(const Outcome& one, RegisterJob job) {
  if (!one.Ok()) {
    const std::string holds = HoldsText(one);
    return NamedLine(*one.net,
                     Tr("error: %s", FullMessage(one)) + (holds.empty() ? "" : "; " + holds));
  }
  if (job == RegisterJob::Identify) {
    return NamedLine(*one.net, Tr("version %s", FirmwareText(*one.version)));
  }
  return NamedLine(*one.net, one.text);
}

// How a run over the registers ended.
enum class RunEnd { Complete, Stopped, PortLost };

// What became of a register that a stop, or a port that went away, kept the
// run from.
const char* NotReachedText(RegisterJob job, RunEnd end) {
  const bool lost = end == RunEnd::PortLost;
  switch (job) {
    case RegisterJob::Identify:
      return lost ? Tr("not identified: the port was lost") : Tr("not identified: stopped");
    case RegisterJob::Read:
      return lost ? Tr("not read: the port was lost") : Tr("not read: stopped");
    case RegisterJob::Write:
      return lost ? Tr("not written: the port was lost") : Tr("not written: stopped");
  }
  return "";
}

// A write's entry for a register that got no write frame.
void MarkUnwritten(RegisterJob job, nlohmann::ordered_json& entry) {
  if (job != RegisterJob::Write) return;
  entry["written"] = false;
  entry["changed"] = false;
}

// The registers from `first` on, which the run did not reach: each with a
// line and an entry of its own, so that the user knows which to do again.
void ListNotReached(const std::vector<LineHit>& hits, std::size_t first, RegisterJob job,
                    RunEnd end, Outcome& outcome, LiveOutput& live) {
  for (std::size_t i = first; i < hits.size(); ++i) {
    nlohmann::ordered_json entry{{"net", hits[i].net}, {"ok", false}};
    MarkUnwritten(job, entry);
    entry["error"] = "not-reached";
    entry["message"] = NotReachedText(job, end);
    outcome.registers->push_back(entry);
    live.Line(NamedLine(hits[i].net, NotReachedText(job, end)));
  }
}

nlohmann::ordered_json RegisterJson(const Outcome& one) {
  nlohmann::ordered_json entry;
  entry["net"] = *one.net;
  entry["ok"] = one.Ok();
  if (one.version) entry["version"] = *one.version;
  if (one.prefix) entry["prefix"] = *one.prefix;
  if (one.before) entry["before"] = *one.before;
  if (one.asked) entry["asked"] = *one.asked;
  if (one.holds) entry["holds"] = *one.holds;
  if (one.verified) entry["verified"] = *one.verified;
  if (one.written) entry["written"] = *one.written;
  if (one.changed) entry["changed"] = *one.changed;
  if (one.retries) entry["retries"] = *one.retries;
  if (!one.Ok()) {
    entry["error"] = one.error;
    entry["message"] = one.message;
  }
  return entry;
}

// The journal's line of one register's write; its warning, the first one
// only, is the run's.
void RecordWrite(const Target& target, const Outcome& one, Outcome& outcome) {
  if (!target.recordWrite) return;
  std::optional<std::string> warning = target.recordWrite(one);
  if (warning && !outcome.warning) outcome.warning = std::move(warning);
}

// One register of the run, reported as soon as it is done. Stopped when a stop
// request kept the run from it; PortLost when the port went away, which ends
// the run too.
RunEnd DoRegister(Connection& connection, const LineHit& hit, const Target& target,
                  const BatchRequest& request, Outcome& outcome, LiveOutput& live) {
  Outcome one;
  nlohmann::ordered_json entry;
  if (hit.answered) {
    std::optional<Outcome> done = RunJob(connection, hit.net, request);
    if (!done) return RunEnd::Stopped;
    one = std::move(*done);
    entry = RegisterJson(one);
  } else {
    if (request.job == RegisterJob::Write) one.asked = request.write.value;
    FailStray(hit, one);
    entry = StrayJson(hit);
    MarkUnwritten(request.job, entry);
    entry["message"] = one.message;
  }
  if (request.job == RegisterJob::Write) RecordWrite(target, one, outcome);
  outcome.registers->push_back(entry);
  live.Line(RegisterLine(one, request.job));
  if (!one.Ok() && outcome.Ok()) outcome.exitCode = one.exitCode;
  return one.error == kErrorPortLost ? RunEnd::PortLost : RunEnd::Complete;
}

}  // namespace

Outcome BatchCommand(const Target& target, const BatchRequest& request, LiveOutput& live) {
  Outcome outcome;
  Connection connection(target);
  std::optional<std::vector<LineHit>> found;
  if (OpenPort(target, connection, outcome)) {
    outcome.registers = nlohmann::ordered_json::array();
    found = request.all ? SurveyTheLine(connection,
                                        [&live](int probe) { live.Progress(ProbeProgress(probe)); })
                        : ListedRegisters(request.nets);
    if (!found) {
      EndByStop(outcome);
    } else if (PortLost(connection.channel)) {
      // The walk went on over a port that was gone: what it found is not the line.
      FailPortLost(connection.device, outcome);
      found.reset();
    } else if (found->empty()) {
      FailNoLink(outcome);
    }
  }
  const std::vector<LineHit> hits = found.value_or(std::vector<LineHit>{});
  std::size_t done = 0;
  RunEnd end = RunEnd::Complete;
  while (done < hits.size() && end == RunEnd::Complete) {
    if (UserAskedToStop()) {
      end = RunEnd::Stopped;
      break;
    }
    live.Progress(Tr("register %s of %s", done + 1, hits.size()));
    end = DoRegister(connection, hits[done], target, request, outcome, live);
    // The register the port went away on has its entry; a stopped one has none.
    if (end != RunEnd::Stopped) ++done;
  }
  if (!hits.empty()) ListNotReached(hits, done, request.job, end, outcome, live);
  live.EndProgress();
  if (end == RunEnd::Stopped) EndByStop(outcome);
  // A write that reached no register is recorded once, for the run.
  if (request.job == RegisterJob::Write && done == 0) RecordWrite(target, outcome, outcome);
  return outcome;
}

}  // namespace zenor9::cli
