#include "cli/doctor_command.h"

#include "cli/connection.h"
#include "cli/console.h"
#include "cli/platform_help.h"
#include "cli/port_failure_words.h"
#include "diagnosis/doctor.h"
#include "link/rfc2217_port.h"

namespace zenor9::cli {

namespace {

std::string CheckLine(const diag::Check& check) {
  std::string line = CheckMark(check.ok) + " ";
  line.append(Tr(check.name.c_str())).append(": ").append(check.detail);
  if (!check.advice.empty()) line.append("\n    → ").append(check.advice);
  return line;
}

}  // namespace

Outcome DoctorCommand(const std::string& port, const std::string& device,
                      std::optional<uint8_t> net, int retries) {
  Outcome outcome;
  outcome.port = device;
  bool opens = false;
  std::vector<diag::Check> checks =
      IsRemoteDevice(device)
          ? diag::RemoteLineChecks(device, DescribeOpenFailure, opens, UserAskedToStop)
          : diag::DeviceChecks(port, device, DescribeOpenFailure, opens);
  if (opens) {
    const ExchangePolicy policy{retries, {}};
    for (diag::Check& check : diag::RegisterChecks(device, net, policy, 20, UserAskedToStop)) {
      checks.push_back(check);
    }
  }
  outcome.checks = nlohmann::ordered_json::array();
  bool allOk = true;
  bool stopped = false;
  for (const diag::Check& check : checks) {
    // A check a stop cut short found nothing wrong: the stop says why it failed.
    allOk = allOk && (check.ok || check.stopped);
    stopped = stopped || check.stopped;
    outcome.checks->push_back({{"name", check.name},
                               {"ok", check.ok},
                               {"detail", check.detail},
                               {"advice", check.advice}});
    if (!outcome.text.empty()) outcome.text += '\n';
    outcome.text += CheckLine(check);
  }
  if (!allOk) outcome.exitCode = kExitFailed;
  if (stopped) EndByStop(outcome);
  return outcome;
}

}  // namespace zenor9::cli
