#include "cli/register_commands.h"

#include <vector>

#include "cli/console.h"
#include "link/commands.h"

namespace zenor9::cli {

namespace {

// A result for a register that the scan found names it: the user did not say
// which. With --net the line stays as scripts read it.
void NameTheRegister(const Target& target, Outcome& outcome) {
  if (target.net || !outcome.net || outcome.text.empty()) return;
  outcome.text = "net " + std::to_string(*outcome.net) + " " + outcome.text;
}

// What a walk over the whole line found, for a write that was given no net number.
struct LineSurvey {
  std::vector<ScanHit> hits;  // answers and stray bytes, in net-number order
  bool complete = false;      // no stop request cut it short
};

LineSurvey SurveyTheLine(Connection& connection, const Target& target) {
  LineSurvey survey;
  survey.complete = WalkTheLine(connection.channel, ProbeProgressOf(target),
                                [&survey](const ScanHit& hit) { survey.hits.push_back(hit); });
  if (target.progress) target.progress({});
  return survey;
}

// More than one thing answered (a stray byte may be a register answering
// garbled): the user must say which register is meant. Nothing is written.
void FailSeveralRegisters(const LineSurvey& survey, Outcome& outcome) {
  std::string named;
  outcome.registers = nlohmann::ordered_json::array();
  for (const ScanHit& hit : survey.hits) {
    // Not identified: an answer is only its net number.
    named += (named.empty() ? "" : ", ") +
             (hit.answered ? "net " + std::to_string(hit.net) : ScanHitLine(hit));
    outcome.registers->push_back(hit.answered ? nlohmann::ordered_json{{"net", hit.net}}
                                              : ScanHitJson(hit));
  }
  Fail(outcome, kExitUsage, "several-registers",
       Tr("several registers answered; nothing was written. Give the one to write with "
          "--net N, or write them all with --all:"));
  outcome.messageNote = named;
}

// A stray byte that is the late echo of an earlier probe names the register
// that answered too slowly for the walk.
void NoteALateEcho(const ScanHit& hit, Outcome& outcome) {
  const ProbeReport report{hit.net, ProbeCandidate(hit.net), ProbeResult::Other, hit.other};
  if (const std::optional<uint8_t> net = LateEchoOf(report)) outcome.lateEchoOf = *net;
}

// The one register on the line, found by a walk over the whole line, so that a
// write never picks the first of several.
std::optional<uint8_t> TheOnlyRegister(Connection& connection, const Target& target,
                                       Outcome& outcome) {
  const LineSurvey survey = SurveyTheLine(connection, target);
  if (!survey.complete) {
    EndByStop(outcome);
    return std::nullopt;
  }
  if (survey.hits.size() > 1) {
    FailSeveralRegisters(survey, outcome);
    return std::nullopt;
  }
  if (survey.hits.empty() || !survey.hits.front().answered) {
    FailNoLink(outcome);
    if (!survey.hits.empty()) NoteALateEcho(survey.hits.front(), outcome);
    return std::nullopt;
  }
  return survey.hits.front().net;
}

}  // namespace

Outcome IdentifyCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!Connect(target, !target.net.has_value(), connection, outcome)) return outcome;
  outcome.text = Tr("net %s version %s", *outcome.net, *outcome.version);
  return outcome;
}

Outcome DetectCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!Connect(target, true, connection, outcome)) return outcome;
  outcome.text = std::to_string(*outcome.net);
  return outcome;
}

Outcome ScanCommand(const Target& target, LiveOutput& live) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!OpenPort(target, connection, outcome)) return outcome;
  bool anyAnswered = false;
  outcome.registers = nlohmann::ordered_json::array();
  const auto onProbe = [&live](int probe) { live.Progress(ProbeProgress(probe)); };
  const auto onHit = [&](ScanHit hit) {
    if (hit.answered) {
      int32_t versionCode = 0;
      const IdentifyAnswer answer =
          IdentifyRegister(connection.channel, AddressByteOfNetNumber(hit.net), versionCode);
      // An identify that overlapped a stop request says nothing of the register.
      if (UserAskedToStop()) return;
      if (answer == IdentifyAnswer::Version) hit.versionCode = versionCode;
      hit.badReply = answer == IdentifyAnswer::BadReply;
      anyAnswered = true;
    }
    outcome.registers->push_back(ScanHitJson(hit));
    live.Line(ScanHitLine(hit));
  };
  const bool complete = WalkTheLine(connection.channel, onProbe, onHit);
  live.EndProgress();
  if (!complete) {
    EndByStop(outcome);
  } else if (!anyAnswered) {
    FailNoLink(outcome);
  }
  return outcome;
}

Outcome ReadCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (Connect(target, !target.net.has_value(), connection, outcome)) {
    ReadPrefix(connection, outcome);
  }
  NameTheRegister(target, outcome);
  return outcome;
}

Outcome WriteCommand(const Target& target, const std::string& value, bool verify) {
  Outcome outcome;
  Connection connection(target.trace);
  if (target.net) {
    if (Connect(target, false, connection, outcome) && ReadBeforeWrite(connection, outcome)) {
      WritePrefix(connection, value, verify, outcome);
    }
    return outcome;
  }
  if (!OpenPort(target, connection, outcome)) return outcome;
  const std::optional<uint8_t> net = TheOnlyRegister(connection, target, outcome);
  if (net && IdentifyAt(connection, *net, outcome) && ReadBeforeWrite(connection, outcome)) {
    WritePrefix(connection, value, verify, outcome);
  }
  NameTheRegister(target, outcome);
  return outcome;
}

}  // namespace zenor9::cli
