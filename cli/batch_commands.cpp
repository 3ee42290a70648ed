#include "cli/batch_commands.h"

#include <optional>

#include "cli/console.h"
#include "cli/report.h"

namespace zenor9::cli {

namespace {

// The net numbers of the registers that answer their probe, 0 to 99; nothing
// when a stop request cut the walk short.
std::optional<std::vector<uint8_t>> RegistersOnTheLine(SerialChannel& channel, LiveOutput& live) {
  std::vector<uint8_t> nets;
  const bool complete = WalkTheLine(
      channel, [&live](int probe) { live.Progress(ProbeProgress(probe)); },
      [&nets](const ScanHit& hit) {
        if (hit.answered) nets.push_back(hit.net);
      });
  if (!complete) return std::nullopt;
  return nets;
}

// The register's own set-up and command; nothing when a stop request cut it
// short or came before it began. A write once begun is never cut short:
// whatever it ends with is the register's state.
std::optional<Outcome> RunJob(Connection& connection, uint8_t net, const BatchRequest& request) {
  Outcome one;
  if (IdentifyAt(connection, net, one)) {
    if (request.job == RegisterJob::Read) ReadPrefix(connection, one);
    if (request.job == RegisterJob::Write && ReadBeforeWrite(connection, one)) {
      WritePrefix(connection, request.value, request.verify, one);
    }
  }
  if (one.EndedByStop()) return std::nullopt;
  return one;
}

std::string RegisterLine(const Outcome& one, RegisterJob job) {
  if (!one.Ok()) {
    return Tr("net %s error: %s", *one.net, FullMessage(one)) +
           (one.holds ? "; " + HoldsText(one) : "");
  }
  if (job == RegisterJob::Identify) return Tr("net %s version %s", *one.net, *one.version);
  return "net " + std::to_string(*one.net) + " " + one.text;
}

// What became of a register that a stop kept the run from.
const char* NotReachedText(RegisterJob job) {
  switch (job) {
    case RegisterJob::Identify:
      return Tr("not identified: stopped");
    case RegisterJob::Read:
      return Tr("not read: stopped");
    case RegisterJob::Write:
      return Tr("not written: stopped");
  }
  return "";
}

// The registers from `first` on, which the stop kept the run from: each with a
// line and an entry of its own, so that the user knows which to do again.
void ListNotReached(const std::vector<uint8_t>& nets, std::size_t first, RegisterJob job,
                    Outcome& outcome, LiveOutput& live) {
  for (std::size_t i = first; i < nets.size(); ++i) {
    outcome.registers->push_back({{"net", nets[i]},
                                  {"ok", false},
                                  {"error", "not-reached"},
                                  {"message", NotReachedText(job)}});
    live.Line("net " + std::to_string(nets[i]) + " " + NotReachedText(job));
  }
}

nlohmann::ordered_json RegisterJson(const Outcome& one) {
  nlohmann::ordered_json entry;
  entry["net"] = *one.net;
  entry["ok"] = one.Ok();
  if (one.version) entry["version"] = *one.version;
  if (one.prefix) entry["prefix"] = *one.prefix;
  if (one.before) entry["before"] = *one.before;
  if (one.holds) entry["holds"] = *one.holds;
  if (!one.Ok()) {
    entry["error"] = one.error;
    entry["message"] = one.message;
  }
  return entry;
}

}  // namespace

Outcome BatchCommand(const Target& target, const BatchRequest& request, LiveOutput& live) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!OpenPort(target, connection, outcome)) return outcome;
  const std::optional<std::vector<uint8_t>> found =
      request.all ? RegistersOnTheLine(connection.channel, live) : request.nets;
  outcome.registers = nlohmann::ordered_json::array();
  if (!found) {
    EndByStop(outcome);
    return outcome;
  }
  const std::vector<uint8_t>& nets = *found;
  if (request.all && nets.empty()) {
    FailNoLink(outcome);
    return outcome;
  }
  std::size_t done = 0;
  for (; done < nets.size() && !UserAskedToStop(); ++done) {
    live.Progress(Tr("register %s of %s", done + 1, nets.size()));
    const std::optional<Outcome> one = RunJob(connection, nets[done], request);
    if (!one) break;
    outcome.registers->push_back(RegisterJson(*one));
    live.Line(RegisterLine(*one, request.job));
    if (!one->Ok() && outcome.Ok()) outcome.exitCode = one->exitCode;
  }
  ListNotReached(nets, done, request.job, outcome, live);
  live.EndProgress();
  if (done < nets.size()) EndByStop(outcome);
  return outcome;
}

}  // namespace zenor9::cli
