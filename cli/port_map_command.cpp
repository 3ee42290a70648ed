#include "cli/port_map_command.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "portmap/com_map.h"

namespace zenor9::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kAlwaysListed = 4;  // COM1 to COM4, as the window program offers them

// COMn numbers worth a line: 1 to 4, and those the environment or the map names.
std::vector<int> ListedComNumbers(const portmap::ComMap& map) {
  std::vector<int> numbers;
  for (int n = 1; n <= portmap::kHighestComNumber; ++n) {
    const std::string variable = "ZENOR9_COM" + std::to_string(n);
    const char* value = std::getenv(variable.c_str());
    const bool named = (value != nullptr && *value != '\0') || map.devices.count(n) > 0;
    if (n <= kAlwaysListed || named) numbers.push_back(n);
  }
  return numbers;
}

std::string SourceNote(int number, portmap::Source source) {
  if (source == portmap::Source::Environment) return "ZENOR9_COM" + std::to_string(number);
  return Tr(portmap::SourceName(source));
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Why a device given to --map may not be what the user meant, empty when fine.
std::string DeviceWarning(const std::string& device, const DevicePresent& present) {
  if (!present(device)) return Tr("%s does not exist now (mapped all the same)", device);
#ifndef _WIN32
  struct stat info {};
  if (::stat(device.c_str(), &info) == 0 && !S_ISCHR(info.st_mode)) {
    return Tr("%s is not a serial device (mapped all the same)", device);
  }
#endif
  return {};
}

// Rewrites the map file with `change` applied; a change that changes nothing
// leaves the file alone and clears `changed`.
bool RewriteMap(const std::function<std::string(const std::string&)>& change, Outcome& outcome,
                bool& changed) {
  const fs::path file = portmap::MapFilePath();
  if (file.empty()) {
    Fail(outcome, kExitFailed, "map-not-written", Tr("no home directory to keep the map in"));
    return false;
  }
  outcome.mapFile = file.string();
  const std::string before = ReadText(file);
  const std::string after = change(before);
  changed = after != before;
  std::string error;
  if (changed && !portmap::ReplaceFile(file, after, error)) {
    Fail(outcome, kExitFailed, "map-not-written", Tr("the map was not written: %s", error));
    return false;
  }
  return true;
}

}  // namespace

void AddComMap(Outcome& outcome, const DevicePresent& present) {
  const fs::path file = portmap::MapFilePath();
  const portmap::ComMap map = portmap::ReadComMap(file);
  outcome.com = nlohmann::ordered_json::object();
  outcome.comSources = nlohmann::ordered_json::object();
  std::vector<std::string> lines;
  for (int number : ListedComNumbers(map)) {
    const portmap::ComTarget target = portmap::ResolveCom(number, map);
    const std::string name = "COM" + std::to_string(number);
    (*outcome.com)[name] = target.device;
    (*outcome.comSources)[name] = portmap::SourceName(target.source);
    std::string line = name;
    line.append(" -> ").append(target.device);
    line.append("  (").append(SourceNote(number, target.source)).append(")");
    if (!present(target.device)) line.append("  (").append(Tr("no such device")).append(")");
    lines.push_back(line);
  }
  outcome.mapFile = file.string();
  lines.push_back(
      Tr("map file: %s", file.empty() ? Tr("none (no home directory)") : file.string()));
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

Outcome MapComCommand(const std::string& entry, const DevicePresent& present) {
  Outcome outcome;
  const std::size_t equals = entry.find('=');
  const int number = portmap::ComNumberOfName(entry.substr(0, equals));
  const std::string device = entry.substr(equals + 1);
  bool changed = false;
  if (!RewriteMap(
          [&](const std::string& text) { return portmap::WithMapping(text, number, device); },
          outcome, changed)) {
    return outcome;
  }
  outcome.com = nlohmann::ordered_json::object();
  (*outcome.com)["COM" + std::to_string(number)] = device;
  outcome.text = "COM" + std::to_string(number) + " -> " + device;
  if (const std::string warning = DeviceWarning(device, present); !warning.empty()) {
    outcome.warning = warning;
  }
  return outcome;
}

Outcome UnmapComCommand(const std::string& name) {
  Outcome outcome;
  const int number = portmap::ComNumberOfName(name);
  bool changed = false;
  if (!RewriteMap([&](const std::string& text) { return portmap::WithoutMapping(text, number); },
                  outcome, changed)) {
    return outcome;
  }
  if (!changed) {
    outcome.warning =
        Tr("COM%s is not in the map file %s: nothing was removed", number, *outcome.mapFile);
  }
  const portmap::ComTarget now = portmap::ResolveCom(number);
  outcome.com = nlohmann::ordered_json::object();
  (*outcome.com)["COM" + std::to_string(number)] = now.device;
  outcome.text = "COM" + std::to_string(number) + " -> " + now.device + "  (" +
                 SourceNote(number, now.source) + ")";
  return outcome;
}

std::string CheckComName(const std::string& name) {
  if (portmap::ComNumberOfName(name) != 0) return {};
  return Tr("a port name is COM1 to COM255, not \"%s\"", name.substr(0, 40));
}

std::string CheckMapEntry(const std::string& entry) {
  const std::size_t equals = entry.find('=');
  if (equals == std::string::npos) return Tr("the map entry is COMn=PATH");
  if (std::string problem = CheckComName(entry.substr(0, equals)); !problem.empty()) return problem;
  const std::string device = entry.substr(equals + 1);
  if (device.empty()) return Tr("the map entry names no device after '='");
  if (device.find_first_of("\n\r") != std::string::npos) return Tr("a device path is one line");
  if (device.front() == ' ' || device.back() == ' ') {
    return Tr("the device path has blanks at its ends");
  }
  return {};
}

}  // namespace zenor9::cli
