#include "cli/port_listing.h"

#include <algorithm>
#include <regex>
#include <system_error>

#include "cli/port_map_command.h"
#include "diagnosis/folder_walk.h"
#include "diagnosis/sysfs_tty.h"

namespace zenor9::cli {

namespace fs = std::filesystem;

namespace {

struct PortName {
  std::string kind;  // S, USB, ACM
  unsigned number = 0;
};

bool ParsePortName(const std::string& name, PortName& parsed) {
  static const std::regex pattern("tty(S|USB|ACM)([0-9]{1,6})");
  std::smatch match;
  if (!std::regex_match(name, match, pattern)) return false;
  parsed = {match[1].str(), static_cast<unsigned>(std::stoul(match[2].str()))};
  return true;
}

void AttachByIdNames(const fs::path& byIdDir, std::vector<SerialPortInfo>& ports) {
  diag::ForEachEntry(byIdDir, [&](const fs::directory_entry& entry) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(entry.path(), linkError);
    const std::string name = linkError ? std::string() : target.filename().string();
    for (SerialPortInfo& port : ports) {
      if (!name.empty() && port.name == name) port.byIdNames.push_back(entry.path().string());
    }
    return true;
  });
  for (SerialPortInfo& port : ports) std::sort(port.byIdNames.begin(), port.byIdNames.end());
}

int KindRank(const std::string& kind) {
  if (kind == "S") return 0;
  return kind == "USB" ? 1 : 2;
}

// ttyS before ttyUSB before ttyACM, each by number (ttyS2 before ttyS10).
bool PortOrder(const SerialPortInfo& a, const SerialPortInfo& b) {
  PortName first;
  PortName second;
  ParsePortName(a.name, first);
  ParsePortName(b.name, second);
  if (first.kind != second.kind) return KindRank(first.kind) < KindRank(second.kind);
  return first.number < second.number;
}

nlohmann::ordered_json PortJson(const SerialPortInfo& port) {
  nlohmann::ordered_json entry;
  entry["device"] = "/dev/" + port.name;
  entry["driver"] = port.driver;
  entry["by-id"] = port.byIdNames;
  return entry;
}

std::string PortLine(const SerialPortInfo& port) {
  std::string line = "/dev/" + port.name + "  " +
                     (port.driver.empty() ? Tr("driver unknown") : Tr("driver %s", port.driver));
  for (const std::string& name : port.byIdNames) line += "  " + name;
  return line;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const fs::path& classTty, const fs::path& byIdDir) {
  std::vector<SerialPortInfo> ports;
  diag::ForEachEntry(classTty, [&](const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    PortName parsed;
    if (ParsePortName(name, parsed) && diag::TtyHasDriver(entry.path()) &&
        !(parsed.kind == "S" && diag::TtyHasNoUart(entry.path()))) {
      ports.push_back({name, diag::TtyDriver(entry.path()), {}});
    }
    return true;
  });
  AttachByIdNames(byIdDir, ports);
  std::sort(ports.begin(), ports.end(), PortOrder);
  return ports;
}

Outcome PortsCommand() {
  Outcome outcome;
  outcome.ports = nlohmann::ordered_json::array();
  outcome.text = std::string(Tr("Serial ports of this computer:")) + '\n';
  const std::vector<SerialPortInfo> ports = ListSerialPorts(diag::kClassTty, "/dev/serial/by-id");
  for (const SerialPortInfo& port : ports) {
    outcome.ports->push_back(PortJson(port));
    outcome.text += PortLine(port) + '\n';
  }
  if (ports.empty()) outcome.text += std::string(Tr("none found")) + '\n';
  outcome.text += '\n' + std::string(Tr("What COM1 and up stand for:")) + '\n';
  AddComMap(outcome);
  return outcome;
}

}  // namespace zenor9::cli
