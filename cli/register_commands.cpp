#include "cli/register_commands.h"

#include "cli/console.h"
#include "link/commands.h"

namespace zenor9::cli {

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
      if (IdentifyRegister(connection.channel, AddressByteOfNetNumber(hit.net), versionCode)) {
        hit.versionCode = versionCode;
      }
      // An identify cut short by a stop request says nothing of the register.
      if (!hit.versionCode && UserAskedToStop()) return;
      anyAnswered = true;
    }
    outcome.registers->push_back(ScanHitJson(hit));
    live.Line(ScanHitLine(hit));
  };
  WalkTheLine(connection.channel, onProbe, onHit);
  live.EndProgress();
  if (!anyAnswered) FailNoLink(outcome);
  return outcome;
}

Outcome ReadCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (Connect(target, !target.net.has_value(), connection, outcome)) {
    ReadPrefix(connection, outcome);
  }
  return outcome;
}

Outcome WriteCommand(const Target& target, const std::string& value, bool verify) {
  Outcome outcome;
  Connection connection(target.trace);
  if (Connect(target, !target.net.has_value(), connection, outcome) &&
      ReadBeforeWrite(connection, outcome)) {
    WritePrefix(connection, value, verify, outcome);
  }
  return outcome;
}

}  // namespace zenor9::cli
