#include "cli/port_map_command.h"

#include <algorithm>

#include "cli/connection.h"
#include "cli/console.h"
#include "cli/remote_line.h"
#include "diagnosis/port_facts.h"
#include "link/rfc2217_port.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kAlwaysListed = 4;  // COM1 to COM4, as the window program offers them

// COMn numbers worth a line: 1 to 4, and those the environment or the map names
// (with a line that maps it or one that is ignored).
std::vector<int> ListedComNumbers(const portmap::ComMap& map) {
  std::vector<int> numbers;
  for (int n = 1; n <= portmap::kHighestComNumber; ++n) {
    const bool named = !portmap::EnvironmentComDevice(n).empty() || map.devices.count(n) > 0 ||
                       std::any_of(map.problems.begin(), map.problems.end(),
                                   [n](const portmap::MapProblem& p) { return p.comNumber == n; });
    if (n <= kAlwaysListed || named) numbers.push_back(n);
  }
  return numbers;
}

std::string SourceNote(int number, portmap::Source source) {
  if (source == portmap::Source::Environment) return "ZENOR9_COM" + std::to_string(number);
  return Tr(portmap::SourceName(source));
}

// Why a device given to --map may not be what the user meant, empty when fine.
std::string DeviceWarning(const std::string& device) {
  if (IsRemoteDevice(device)) return {};  // not contacted: ports opens nothing
  if (!diag::DevicePresent(device))
    return Tr("%s does not exist now (mapped all the same)", device);
  if (!diag::MayBeSerialPort(device)) {
    return Tr("%s is not a serial device (mapped all the same)", device);
  }
  return {};
}

// A stop while the rewrite waits for another run's rewrite ends the wait, and
// so does a lock held for longer than any rewrite takes (a run stopped with
// Ctrl-Z): the map stays as it was.
bool RewriteMap(const std::function<std::string(const std::string&)>& change, Clock& clock,
                Outcome& outcome) {
  const fs::path file = portmap::MapFilePath();
  if (file.empty()) {
    Fail(outcome, kExitFailed, "map-not-written", Tr("no home directory to keep the map in"));
    return false;
  }
  outcome.mapFile = file.string();
  std::string error;
  switch (
      portmap::RewriteMapFile(file, change, error, {UserAskedToStop, files::kLockWaitMs, &clock})) {
    case portmap::Rewrite::Written:
      return true;
    case portmap::Rewrite::Stopped:
      EndByStop(outcome);
      return false;
    case portmap::Rewrite::Busy:
      Fail(outcome, kExitFailed, "map-locked", Tr("the map was not written: %s", error));
      return false;
    case portmap::Rewrite::Failed:
      break;
  }
  Fail(outcome, kExitFailed, "map-not-written", Tr("the map was not written: %s", error));
  return false;
}

// The device, or null when the map gives none.
nlohmann::ordered_json DeviceJson(const portmap::ComTarget& target) {
  if (target.device.empty()) return nullptr;
  return target.device;
}

// "COM1 -> /dev/ttyUSB0  (map file)", or "COM3 -> none: ..." with the reason
// when the map gives it no device.
std::string ComLine(int number, const portmap::ComTarget& target) {
  std::string line = "COM" + std::to_string(number) + " -> ";
  if (target.device.empty()) return line + Tr("none: %s", target.problem);
  return line.append(target.device).append("  (").append(SourceNote(number, target.source)) + ")";
}

}  // namespace

void AddComMap(Outcome& outcome) {
  const fs::path file = portmap::MapFilePath();
  const portmap::ComMap map = portmap::ReadComMap(file);
  outcome.com = nlohmann::ordered_json::object();
  outcome.comSources = nlohmann::ordered_json::object();
  std::vector<std::string> lines;
  for (int number : ListedComNumbers(map)) {
    const portmap::ComTarget target = portmap::ResolveCom(number, map);
    const std::string name = "COM" + std::to_string(number);
    (*outcome.com)[name] = DeviceJson(target);
    (*outcome.comSources)[name] = portmap::SourceName(target.source);
    if (!target.problem.empty()) {
      if (!outcome.comProblems) outcome.comProblems = nlohmann::ordered_json::object();
      (*outcome.comProblems)[name] = target.problem;
    }
    lines.push_back(ComLine(number, target));
    if (IsRemoteDevice(target.device)) {
      lines.back() += "  (" + std::string(Tr("remote line, RFC 2217")) + ")";
    } else if (!target.device.empty() && !diag::DevicePresent(target.device)) {
      lines.back() += "  (" + std::string(Tr("no such device")) + ")";
    }
  }
  outcome.mapFile = file.string();
  std::string mapLine =
      Tr("map file: %s", file.empty() ? Tr("none (no home directory)") : file.string());
  if (!map.unreadable.empty()) {
    outcome.mapUnreadable = map.unreadable;
    mapLine += " (" + Tr("cannot be read: %s", map.unreadable) + ")";
  }
  lines.push_back(mapLine);
  outcome.mapProblems = nlohmann::ordered_json::array();
  for (const portmap::MapProblem& problem : map.problems) {
    outcome.mapProblems->push_back({{"line", problem.line}, {"problem", problem.what}});
    lines.push_back(file.string() + ":" + std::to_string(problem.line) + ": " +
                    Tr("ignored: %s", problem.what));
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) outcome.text += '\n';
    outcome.text += lines[i];
  }
}

Outcome MapComCommand(const std::string& entry, Clock& clock) {
  Outcome outcome;
  const std::size_t equals = entry.find('=');
  const int number = portmap::ComNumberOfName(entry.substr(0, equals));
  const std::string path = entry.substr(equals + 1);
  if (!RewriteMap([&](const std::string& text) { return portmap::WithMapping(text, number, path); },
                  clock, outcome)) {
    return outcome;
  }
  const std::string device = portmap::MappedDevice(path);
  outcome.com = nlohmann::ordered_json::object();
  (*outcome.com)["COM" + std::to_string(number)] = device;
  outcome.text = "COM" + std::to_string(number) + " -> " + device;
  if (const std::string warning = DeviceWarning(device); !warning.empty()) {
    outcome.warning = warning;
  }
  return outcome;
}

Outcome UnmapComCommand(const std::string& name, Clock& clock) {
  Outcome outcome;
  const int number = portmap::ComNumberOfName(name);
  bool removed = false;
  const auto change = [&](const std::string& text) {
    std::string without = portmap::WithoutMapping(text, number);
    removed = without != text;
    return without;
  };
  if (!RewriteMap(change, clock, outcome)) return outcome;
  if (!removed) {
    outcome.warning =
        Tr("COM%s is not in the map file %s: nothing was removed", number, *outcome.mapFile);
  }
  const portmap::ComTarget now = portmap::ResolveCom(number);
  outcome.com = nlohmann::ordered_json::object();
  (*outcome.com)["COM" + std::to_string(number)] = DeviceJson(now);
  outcome.text = ComLine(number, now);
  return outcome;
}

std::string CheckComName(const std::string& name) {
  if (portmap::ComNumberOfName(name) != 0) return {};
  return Tr("a port name is COM1 to COM255, not \"%s\"", i18n::Abridged(name, 40));
}

std::string CheckMapEntry(const std::string& entry) {
  const std::size_t equals = entry.find('=');
  if (equals == std::string::npos) return Tr("the map entry is COMn=PATH");
  if (std::string problem = CheckComName(entry.substr(0, equals)); !problem.empty()) return problem;
  const std::string device = entry.substr(equals + 1);
  if (device.empty()) return Tr("the map entry names no device after '='");
  // The map is UTF-8 text: a name in another encoding would make it unreadable.
  if (!i18n::IsUtf8(device)) return Tr("the device path is not UTF-8 text");
  if (IsRemoteDevice(device)) return RemoteAddressProblem(device);
  if (device.find_first_of("\n\r") != std::string::npos) return Tr("a device path is one line");
  if (device.front() == ' ' || device.back() == ' ')
    return Tr("the device path has blanks at its ends");
  if (device.find(" #") != std::string::npos || device.find("\t#") != std::string::npos) {
    return Tr("a '#' after a blank would start a comment in the map");
  }
  return {};
}

}  // namespace zenor9::cli
