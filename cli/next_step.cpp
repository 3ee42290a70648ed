#include "cli/next_step.h"

#include <optional>

namespace zenor9::cli {

namespace {

bool IsLinkFailure(const std::string& error) {
  return error == "port-unavailable" || error == "no-link" || error == "command-failed" ||
         error == "bad-reply" || error == "stray-byte" || error == "bad-answer" ||
         error == kErrorPortLost;
}

// The net number of the first register of a run over several, or of a scan,
// that the link failed, when one did.
std::optional<int> FirstNetWithoutLink(const Outcome& outcome) {
  if (!outcome.registers) return std::nullopt;
  for (const nlohmann::ordered_json& entry : *outcome.registers) {
    if (!IsLinkFailure(entry.value("error", ""))) continue;
    return entry["net"].get<int>();
  }
  return std::nullopt;
}

// The user's command again with --net N: "zenor9 write 21 --port COM9 --net 7".
std::string CommandWithNet(const Invocation& invocation, int net) {
  const std::string command = invocation.command == "detect" ? "identify" : invocation.command;
  std::string text = "zenor9 " + command;
  if (command == "write") text += " " + invocation.write.value;
  return text + " --port " + invocation.port.name + " --net " + std::to_string(net);
}

std::string DoctorCommand(const Invocation& invocation, std::optional<int> net) {
  std::string text = "zenor9 doctor --port " + invocation.port.name;
  if (net) text += " --net " + std::to_string(*net);
  return text;
}

}  // namespace

void AddNextStep(const Invocation& invocation, Outcome& outcome) {
  // A usage error (several registers answered too) says itself what to give.
  if (outcome.interrupted || invocation.command == "doctor" || outcome.exitCode == kExitUsage) {
    return;
  }
  if (outcome.lateEchoOf) {
    outcome.nextStep = Tr("Next: the scan was ended by the late echo of net number %s: %s",
                          *outcome.lateEchoOf, CommandWithNet(invocation, *outcome.lateEchoOf));
    return;
  }
  // A COM map that gives the port no device is mended in the map, which the
  // doctor cannot look into.
  if (invocation.port.target.fault != portmap::MapFault::None) {
    outcome.nextStep = Tr("Next: %s shows the COM map and what is wrong in it", "zenor9 ports");
    return;
  }
  std::optional<int> net = FirstNetWithoutLink(outcome);
  if (!net && !IsLinkFailure(outcome.error)) return;
  // The register's own net number, once one was given or found; the doctor
  // scans for itself otherwise.
  if (!net && outcome.error != "port-unavailable" && outcome.net) net = outcome.net;
  outcome.nextStep = Tr("Next: %s says what stands in the way", DoctorCommand(invocation, net));
}

}  // namespace zenor9::cli
