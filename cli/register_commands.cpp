#include "cli/register_commands.h"

#include <vector>

#include "cli/console.h"
#include "cli/line_hits.h"
#include "cli/remote_line.h"
#include "cli/report.h"
#include "link/commands.h"
#include "operations/setup.h"

namespace zenor9::cli {

namespace {

// A result for a register that the scan found names it: the user did not say
// which. With --net the line stays as scripts read it.
void NameTheRegister(const Target& target, Outcome& outcome) {
  if (target.net || !outcome.net || outcome.text.empty()) return;
  outcome.text = NamedLine(*outcome.net, outcome.text);
}

// The retries belong to the register that the command reached; a run that
// reached none has none to count.
void CountRetries(const Connection& connection, Outcome& outcome) {
  if (outcome.net) outcome.retries = connection.retried;
}

// More than one thing answered (a stray byte may be a register answering
// garbled): the user must say which register is meant. Nothing is read or
// written.
void FailSeveralRegisters(const std::vector<LineHit>& hits, bool writing, Outcome& outcome) {
  outcome.registers = nlohmann::ordered_json::array();
  for (const LineHit& hit : hits) {
    // Not identified: an answer is only its net number.
    outcome.registers->push_back(hit.answered ? nlohmann::ordered_json{{"net", hit.net}}
                                              : StrayJson(hit));
  }
  Fail(outcome, kExitUsage, "several-registers",
       Tr(writing ? N_("several registers answered (%s); nothing was written. Give the one to "
                       "write with --net N, or write them all with --all")
                  : N_("several registers answered (%s); nothing was read. Give the one to read "
                       "with --net N, or read them all with --all"),
          NamedHits(hits)));
}

// The only thing that answered was no register: said with what came back. A
// stray byte that is the late echo of an earlier probe names the register
// that answered too slowly for the walk.
void FailOnlyStray(const LineHit& hit, Outcome& outcome) {
  FailNoLink(outcome);
  // Put in brackets a character at a time: MinGW's GCC 12 takes a string made
  // from a short literal for an overlapping copy (-Wrestrict) once inlined.
  std::string note = NamedLine(hit.net, StrayText(hit));
  note.insert(note.begin(), '(');
  note.push_back(')');
  outcome.messageNote = std::move(note);
  outcome.registers = nlohmann::ordered_json::array({StrayJson(hit)});
  const ProbeReport report{hit.net, AddressByteOfNetNumber(hit.net), ProbeResult::Other,
                           hit.received};
  if (const std::optional<uint8_t> net = LateEchoOf(report)) outcome.lateEchoOf = *net;
}

// The one register on the line, found by a walk over the whole line, so that a
// read or write never picks the first of several.
std::optional<uint8_t> TheOnlyRegister(Connection& connection, const Target& target, bool writing,
                                       Outcome& outcome) {
  const LineJudgement line =
      JudgeTheLine(connection.channel, connection.policy, ProbeProgressOf(target));
  if (target.progress) target.progress({});
  // A walk that the port's loss cut short has not seen the whole line.
  if (line.verdict != LineVerdict::Stopped && PortLost(connection.channel)) {
    FailPortLost(connection.device, outcome);
    return std::nullopt;
  }
  switch (line.verdict) {
    case LineVerdict::OneRegister:
      return line.hits.front().net;
    case LineVerdict::Stopped:
      EndByStop(outcome);
      break;
    case LineVerdict::Several:
      FailSeveralRegisters(line.hits, writing, outcome);
      break;
    case LineVerdict::NoAnswer:
      FailNoLink(outcome);
      break;
    case LineVerdict::OnlyStray:
      FailOnlyStray(line.hits.front(), outcome);
      break;
  }
  return std::nullopt;
}

// Sets up the register the target names, or the only one on the line.
bool ReachTheRegister(const Target& target, bool writing, Connection& connection,
                      Outcome& outcome) {
  if (target.net) return Connect(target, false, connection, outcome);
  if (!OpenPort(target, connection, outcome)) return false;
  const std::optional<uint8_t> net = TheOnlyRegister(connection, target, writing, outcome);
  return net && IdentifyAt(connection, *net, outcome);
}

// What a scan reports of a register that answered its probe: identified as it
// comes, with the retries its identify took. False when a stop request cut the
// identify short, which then says nothing of the register.
bool IdentifyScanHit(Connection& connection, uint8_t net, nlohmann::ordered_json& entry,
                     std::string& line) {
  const int retriedBefore = connection.retried;
  const SetupResult result =
      IdentifyRegisterAt(connection, AddressByteOfNetNumber(net), connection.policy);
  entry["net"] = net;
  switch (result.outcome) {
    case SetupOutcome::Stopped:
      return false;
    case SetupOutcome::NoAnswerToIdentify:
      entry["version"] = nullptr;
      entry["error"] = "no-link";
      line = NamedLine(net, Tr("no answer to identify"));
      break;
    case SetupOutcome::BadIdentifyReply:
      entry["version"] = nullptr;
      entry["error"] = "bad-reply";
      line = NamedLine(net, Tr("bad reply to identify"));
      break;
    case SetupOutcome::PortLost: {
      Outcome lost;
      FailPortLost(connection.device, lost);
      entry["version"] = nullptr;
      entry["error"] = lost.error;
      line = NamedLine(net, Tr("error: %s", lost.message));
      break;
    }
    default:
      entry["version"] = connection.versionCode;
      line = NamedLine(net, Tr("version %s", FirmwareText(connection.versionCode)));
      break;
  }
  entry["retries"] = connection.retried - retriedBefore;
  return true;
}

}  // namespace

Outcome IdentifyCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target);
  if (Connect(target, !target.net.has_value(), connection, outcome)) {
    outcome.text = NamedLine(*outcome.net, Tr("version %s", FirmwareText(*outcome.version)));
  }
  CountRetries(connection, outcome);
  return outcome;
}

Outcome DetectCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target);
  if (Connect(target, true, connection, outcome)) outcome.text = std::to_string(*outcome.net);
  CountRetries(connection, outcome);
  return outcome;
}

Outcome ScanCommand(const Target& target, LiveOutput& live) {
  Outcome outcome;
  Connection connection(target);
  if (!OpenPort(target, connection, outcome)) return outcome;
  NoteRoundTrip(connection.channel, target.port.Device(), outcome);
  bool anyRegister = false;
  std::vector<LineHit> misanswered;
  outcome.registers = nlohmann::ordered_json::array();
  const auto onProbe = [&live](int probe) { live.Progress(ProbeProgress(probe)); };
  const auto onHit = [&](const LineHit& hit) {
    nlohmann::ordered_json entry;
    std::string line;
    if (!hit.answered) {
      entry = StrayJson(hit);
      entry.erase("ok");  // a scan's entries say what answered, not how a job went
      line = NamedLine(hit.net, StrayText(hit));
    } else if (!IdentifyScanHit(connection, hit.net, entry, line)) {
      return;
    }
    if (entry.contains("error")) {
      misanswered.push_back(hit);
    } else {
      anyRegister = true;
    }
    outcome.registers->push_back(entry);
    live.Line(line);
  };
  const bool complete = SurveyLine(connection.channel, connection.policy, onProbe, onHit);
  live.EndProgress();
  if (!complete) {
    EndByStop(outcome);
  } else if (PortLost(connection.channel)) {
    FailPortLost(connection.device, outcome);
  } else if (!misanswered.empty()) {
    Fail(outcome, kExitFailed, "bad-answer",
         Tr("not every answer came as a register's: %s", NamedHits(misanswered)));
  } else if (!anyRegister) {
    FailNoLink(outcome);
  }
  return outcome;
}

Outcome ReadCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target);
  if (ReachTheRegister(target, false, connection, outcome)) ReadPrefix(connection, outcome);
  NameTheRegister(target, outcome);
  CountRetries(connection, outcome);
  return outcome;
}

Outcome WriteCommand(const Target& target, const WriteRequest& request) {
  Outcome outcome;
  outcome.asked = request.value;
  Connection connection(target);
  if (ReachTheRegister(target, true, connection, outcome)) {
    WriteOnRegister(connection, request, outcome);
  }
  NameTheRegister(target, outcome);
  CountRetries(connection, outcome);
  if (target.recordWrite) {
    Outcome recorded = outcome;
    if (!recorded.net && target.net) recorded.net = *target.net;
    if (std::optional<std::string> warning = target.recordWrite(recorded)) {
      outcome.warning = std::move(warning);
    }
  }
  return outcome;
}

}  // namespace zenor9::cli
