#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <regex>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/outcome.h"
#include "cli/platform.h"
#include "cli/report.h"
#include "link/channel.h"
#include "memmap/prefix_cells.h"

namespace zenor9::cli {

namespace {

constexpr const char* kExitCodesHelp = R"(Exit codes:
  0  success
  1  no link with the register, or the command failed
  2  usage error (nothing was sent)
  3  port unavailable (missing, or held by another program)
  4  firmware not supported (only version code 105, firmware 1.0.5)
  5  write --verify read back other values than written)";

constexpr const char* kSimHelp =
    R"(Prints the device path as its first line on stdout. Without --net it serves
one register at net number 0. Exit codes: 0 stopped by SIGINT, SIGTERM or
SIGHUP; 1 no pseudo-terminal, or the link could not be made; 2 usage error.)";

// `text` cut to at most `mostBytes` (whole UTF-8 characters), "..." marking a cut.
std::string Abridged(const std::string& text, std::size_t mostBytes) {
  if (text.size() <= mostBytes) return text;
  std::size_t cut = mostBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

// Usage messages quote what the user gave, but not kilobytes of it.
std::string Quoted(const std::string& text) {
  return Abridged(text, 40);
}

// The value of decimal digits 0 to 99, leading zeros allowed; nothing for any
// other text, such as a sign, blanks, "0x10" or "1e1".
std::optional<int> NetNumberOfText(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 99) return std::nullopt;
  }
  return value;
}

// Rewrites a net number without its leading zeros, which CLI11's conversion
// would take for an octal number ("010" as 8), as it takes "0x10" for 16:
// either would address another register than the user meant.
const CLI::Validator kNetNumberCheck(
    [](std::string& text) -> std::string {
      const std::optional<int> net = NetNumberOfText(text);
      if (!net) return "a net number is 0 to 99 in decimal digits, not " + Quoted(text);
      text = std::to_string(*net);
      return {};
    },
    "0..99");

bool IsComName(const std::string& port) {
  static const std::regex pattern("[cC][oO][mM][0-9]+");
  return std::regex_match(port, pattern);
}

const CLI::Validator kPortCheck(
    [](const std::string& port) -> std::string {
      if (port.empty()) return "the port is empty";
      if (IsComName(port) && (port.size() != 4 || port[3] < '1' || port[3] > '4')) {
        return "only COM1 to COM4 exist: " + Quoted(port);
      }
      return {};
    },
    "COM1..COM4|PATH");

const CLI::Validator kPrefixCheck(
    [](const std::string& value) -> std::string {
      if (value == "off" || IsValidPrefixText(value)) return {};
      return "the prefix must be 20 to 29 or off, not " + Quoted(value);
    },
    "20..29|off");

const CLI::Validator kVersionCheck(
    [](const std::string& value) -> std::string {
      uint8_t high = 0;
      uint8_t low = 0;
      if (ParseVersionBytes(value, high, low)) return {};
      return "the version is four hex digits (0105 for firmware 1.0.5), not " + Quoted(value);
    },
    "HHHH");

const CLI::Validator kFaultCheck(
    [](const std::string& name) -> std::string {
      emu::Fault fault{};
      if (emu::ParseFault(name, fault)) return {};
      std::string known;
      for (emu::Fault each : emu::AllFaults()) known += " " + emu::FaultName(each);
      return "unknown fault " + Quoted(name) + "; known:" + known;
    },
    "NAME");

bool AsksForJson(int argc, const char* const* argv) {
  return std::any_of(argv + 1, argv + argc,
                     [](const char* argument) { return std::strcmp(argument, "--json") == 0; });
}

// CLI11's own messages quote whole arguments, however long they are.
std::string ShortMessage(const std::string& message) {
  return Abridged(message, 160);
}

// Help (CLI11's exit code 0) is printed as text even with --json.
int ReportUsageError(CLI::App& app, const CLI::ParseError& error, bool json) {
  if (error.get_exit_code() == 0) return app.exit(error) == 0 ? kExitOk : kExitUsage;
  if (!json) {
    std::fprintf(stderr, "%s\nRun with --help for more information.\n",
                 ShortMessage(error.what()).c_str());
    return kExitUsage;
  }
  Outcome outcome;
  Fail(outcome, kExitUsage, "usage", ShortMessage(error.what()));
  return Report(outcome, true);
}

// CLI11 reports an unknown command only as a missing one; name it instead.
std::optional<std::string> UnknownCommand(const CLI::App& app, const CLI::ParseError& error) {
  const std::vector<std::string> extras = app.remaining();
  if (error.get_name() != "RequiredError" || !app.get_subcommands().empty() || extras.empty()) {
    return std::nullopt;
  }
  return "unknown command " + Quoted(extras.front()) +
         " (identify, detect, scan, read, write, ports or sim)";
}

// Options that the virtual register does not take from the main command line.
void RefuseMainOptionsForSim(const CLI::App& app) {
  for (const char* name : {"--port", "--net", "--json"}) {
    if (app.count(name) > 0) {
      throw CLI::ValidationError(name, "is not an option of sim (see zenor9 sim --help)");
    }
  }
}

void RefuseNetForScans(const CLI::App& app, const std::string& command) {
  if ((command == "detect" || command == "scan") && app.count("--net") > 0) {
    throw CLI::ValidationError("--net", command + " finds the net numbers itself");
  }
}

void RefuseDuplicateNets(std::vector<int> nets) {
  std::sort(nets.begin(), nets.end());
  if (std::adjacent_find(nets.begin(), nets.end()) != nets.end()) {
    throw CLI::ValidationError("--net", "each net number can serve one register only");
  }
}

}  // namespace

std::string DeviceOfPort(const std::string& port) {
  if (IsComName(port) && port.size() == 4)
    return ComPortDevice(static_cast<uint8_t>(port[3] - '0'));
  return port;
}

bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode) {
  CLI::App app{
      "Reads and sets the local barcode prefix for weighed goods (20 to 29, or off)\n"
      "in ЗЕНОР-9 cash registers on a serial line.",
      "zenor9"};
  app.footer(std::string(kExitCodesHelp) + "\n\n" + ComPortsHelp());
  app.require_subcommand(1);

  std::string port = "COM1";
  int net = 0;
  std::string version = "0105";
  std::vector<std::string> faults;

  app.add_option("--port", port, "COM1 to COM4, or a device path")
      ->check(kPortCheck)
      ->capture_default_str();
  app.add_option("--net", net, "the register's net number; without it a scan finds it")
      ->transform(kNetNumberCheck);
  app.add_flag("--json", invocation.json, "print one JSON object on stdout");
  app.add_flag("--trace", invocation.trace, "print every byte on the line on stderr");

  std::vector<CLI::App*> registerCommands = {
      app.add_subcommand("identify", "print the net number and the version code"),
      app.add_subcommand("detect", "print the net number that the scan finds"),
      app.add_subcommand("scan", "probe every net number 0 to 99 and list what answers"),
      app.add_subcommand("read", "print the prefix as the register holds it, or off"),
  };
  CLI::App* write = app.add_subcommand("write", "write the prefix (20 to 29) or off");
  write->add_option("VALUE", invocation.writeValue, "20 to 29, or off")
      ->required()
      ->check(kPrefixCheck);
  write->add_flag("--verify", invocation.verify, "read the cells back and compare");
  registerCommands.push_back(write);
  registerCommands.push_back(
      app.add_subcommand("ports", "list serial ports and what COM1 to COM4 map to"));
  // The main options may also follow the command: zenor9 read --net 7.
  for (CLI::App* command : registerCommands) command->fallthrough();

  CLI::App* sim = app.add_subcommand(
      "sim", "serve virtual registers on a pseudo-terminal until SIGINT or SIGTERM");
  sim->add_option("--net", invocation.sim.nets, "net numbers, one register each")
      ->delimiter(',')
      ->transform(kNetNumberCheck)
      ->capture_default_str();
  sim->add_option("--prefix", invocation.sim.prefix, "the prefix every register holds")
      ->check(kPrefixCheck)
      ->capture_default_str();
  sim->add_option("--version", version, "version bytes in hex")
      ->check(kVersionCheck)
      ->capture_default_str();
  sim->add_option("--fault", faults, "a fault to switch on (emulator fault names)")
      ->delimiter(',')
      ->check(kFaultCheck);
  sim->add_option("--link", invocation.sim.linkPath, "make a symbolic link to the device here");
  sim->add_flag("--trace", invocation.sim.trace, "print every byte with its ninth bit on stderr");
  sim->footer(kSimHelp);

  try {
    app.parse(argc, argv);
    invocation.command = app.get_subcommands().front()->get_name();
    if (invocation.command == "sim") {
      RefuseMainOptionsForSim(app);
      RefuseDuplicateNets(invocation.sim.nets);
    }
    RefuseNetForScans(app, invocation.command);
  } catch (const CLI::ParseError& error) {
    const bool json = AsksForJson(argc, argv);
    if (const std::optional<std::string> unknown = UnknownCommand(app, error)) {
      exitCode =
          ReportUsageError(app, CLI::ExtrasError(*unknown, CLI::ExitCodes::ExtrasError), json);
    } else {
      exitCode = ReportUsageError(app, error, json);
    }
    return false;
  }

  invocation.device = DeviceOfPort(port);
  if (app.count("--net") > 0) invocation.net = static_cast<uint8_t>(net);
  invocation.sim.trace = invocation.sim.trace || invocation.trace;
  ParseVersionBytes(version, invocation.sim.versionHigh, invocation.sim.versionLow);
  for (const std::string& name : faults) {
    emu::Fault fault{};
    if (emu::ParseFault(name, fault)) invocation.sim.faults.push_back(fault);
  }
  return true;
}

}  // namespace zenor9::cli
