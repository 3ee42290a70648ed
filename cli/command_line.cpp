#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/outcome.h"
#include "cli/platform.h"
#include "cli/port_map_command.h"
#include "cli/report.h"
#include "link/channel.h"
#include "memmap/prefix_cells.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

namespace {

constexpr const char* kLicenceNotice =
    "Copyright (c) 2026 zenor9-prefix developers.\n"
    "Free software under the MIT licence: you may use, copy, change and pass it on.";

// What each exit code means, as --help says it.
const std::map<int, const char*>& ExitCodeMeanings() {
  static const std::map<int, const char*> meanings = {
      {kExitOk, "success"},
      {kExitFailed, "no link with the register, or the command failed"},
      {kExitUsage, "usage error (nothing was sent)"},
      {kExitPortUnavailable, "port unavailable (missing, or held by another program)"},
      {kExitUnsupportedFirmware, "firmware not supported (only version code 105, firmware 1.0.5)"},
      {kExitVerifyMismatch, "write --verify read back other values than written"},
      {kExitInterrupted, "stopped by SIGINT (Ctrl-C): what was done is printed"},
      {kExitTerminated, "stopped by SIGTERM: what was done is printed"},
  };
  return meanings;
}

constexpr const char* kSeveralRegistersHelp =
    R"(With --net 3,7,12 or --all each register gets its own set-up and command, one
line each in net-number order as soon as it is done ("net 7 25", "net 9 error:
..."); the exit code is that of the first register that failed.)";

constexpr const char* kPortMapHelp =
    R"(COMn stands for the device in the environment variable ZENOR9_COMn when it
is set, else for the one in the map file (lines COMn=PATH, # starts a comment),
else for the platform's default. --map rewrites the file in one step and keeps
its other lines; exit code 1 when it could not be written.)";

constexpr const char* kDoctorHelp =
    R"(Checks in order, a line each (✓ or ✗, what was found, what to do): the device
and its kind, permission, opening it for this program alone, services that
take serial ports, stick parity (set, read back, the driver's known habits),
the adapter's latency, and a register on the line: identify and the time of
about 20 echoes of its address byte against the scan's 10 ms wait. Only
address probes and identify go to the register. Exit code 0 when every check
passed, 1 when any failed, 2 usage error.)";

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

// Net numbers separated by commas ("3,7,12"), each rewritten as kNetNumberCheck
// does.
const CLI::Validator kNetListCheck(
    [](std::string& text) -> std::string {
      std::string rewritten;
      std::size_t from = 0;
      for (;;) {
        const std::size_t comma = text.find(',', from);
        std::string net = text.substr(from, comma == std::string::npos ? comma : comma - from);
        if (net.empty()) return "a net number is missing in \"" + Quoted(text) + "\"";
        if (std::string error = kNetNumberCheck(net); !error.empty()) return error;
        rewritten += (rewritten.empty() ? "" : ",") + net;
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
      text = rewritten;
      return {};
    },
    "N[,N...]");

bool IsComName(const std::string& port) {
  static const std::regex pattern("[cC][oO][mM][0-9]+");
  return std::regex_match(port, pattern);
}

const CLI::Validator kPortCheck(
    [](const std::string& port) -> std::string {
      if (port.empty()) return "the port is empty";
      if (IsComName(port) && portmap::ComNumberOfName(port) == 0) {
        return "only COM1 to COM" + std::to_string(portmap::kHighestComNumber) +
               " exist: " + Quoted(port);
      }
      return {};
    },
    "COM1..COM" + std::to_string(portmap::kHighestComNumber) + "|PATH");

// "off" in any case, as COM1 is, becomes "off".
const CLI::Validator kPrefixCheck(
    [](std::string& value) -> std::string {
      std::string lower = value;
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (lower == "off") value = lower;
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

void RefuseDuplicateNets(std::vector<int> nets) {
  std::sort(nets.begin(), nets.end());
  if (std::adjacent_find(nets.begin(), nets.end()) != nets.end()) {
    throw CLI::ValidationError("--net", "each net number can serve one register only");
  }
}

}  // namespace

std::string ExitCodesHelp(std::initializer_list<int> codes) {
  std::string help = "Exit codes:";
  for (int code : codes) {
    char line[128];
    std::snprintf(line, sizeof line, "\n  %3d  %s", code, ExitCodeMeanings().at(code));
    help += line;
  }
  return help;
}

std::string CanonicalPortName(const std::string& port) {
  const int number = portmap::ComNumberOfName(port);
  return number != 0 ? "COM" + std::to_string(number) : port;
}

std::string DeviceOfPort(const std::string& port) {
  if (const int number = portmap::ComNumberOfName(port); number != 0) {
    return portmap::ResolveCom(number).device;
  }
  return port;
}

namespace {

// The options every register command takes; each command lists them in its own
// help, and they may stand before or after the command.
struct MainOptions {
  std::string port = "COM1";
  std::string nets;  // "3,7,12", already checked
  bool all = false;
};

// The net numbers of a checked list, in increasing order.
std::vector<int> NetsOfList(const std::string& list) {
  std::vector<int> nets;
  if (list.empty()) return nets;
  std::size_t from = 0;
  for (std::size_t comma = 0; comma != std::string::npos; from = comma + 1) {
    comma = list.find(',', from);
    nets.push_back(std::stoi(list.substr(from, comma - from)));
  }
  std::sort(nets.begin(), nets.end());
  return nets;
}

void AddPortOption(CLI::App& app, MainOptions& options) {
  app.add_option("--port", options.port,
                 "COM1 to COM" + std::to_string(portmap::kHighestComNumber) + ", or a device path")
      ->check(kPortCheck)
      ->capture_default_str();
}

void AddNetOptions(CLI::App& app, MainOptions& options) {
  app.add_option("--net", options.nets,
                 "net numbers of the registers, separated by commas; without it a scan "
                 "finds the one register")
      ->transform(kNetListCheck);
  app.add_flag("--all", options.all, "every register a full scan finds");
}

void AddPortMapOptions(CLI::App& ports, Invocation& invocation) {
  const CLI::Validator entryCheck(CheckMapEntry, "COMn=PATH");
  const CLI::Validator nameCheck(CheckComName, "COMn");
  CLI::Option* map = ports
                         .add_option("--map", invocation.mapEntry,
                                     "make COMn stand for PATH in this user's map file")
                         ->check(entryCheck);
  ports.add_option("--unmap", invocation.unmapName, "remove COMn from this user's map file")
      ->check(nameCheck)
      ->excludes(map);
}

void AddOutputOptions(CLI::App& app, Invocation& invocation) {
  app.add_flag("--json", invocation.json, "print one JSON object on stdout");
  app.add_flag("--trace", invocation.trace, "print every byte on the line on stderr");
}

std::string Footer(std::initializer_list<int> codes, const char* more = nullptr) {
  std::string footer = ExitCodesHelp(codes) + "\n\n" + ComPortsHelp();
  if (more != nullptr) footer = std::string(more) + "\n\n" + footer;
  return footer;
}

// A command that talks to registers: its own help lists the main options and
// only the exit codes it can give. The main options given before the command
// fall through to the program's.
CLI::App* AddRegisterCommand(CLI::App& app, const char* name, const char* description,
                             bool takesNets, std::initializer_list<int> codes, MainOptions& options,
                             Invocation& invocation) {
  CLI::App* command = app.add_subcommand(name, description);
  AddPortOption(*command, options);
  if (takesNets) AddNetOptions(*command, options);
  AddOutputOptions(*command, invocation);
  command->footer(Footer(codes, takesNets ? kSeveralRegistersHelp : nullptr));
  command->fallthrough();
  return command;
}

std::size_t Given(const CLI::App& app, const CLI::App& command, const std::string& name) {
  const CLI::Option* own = command.get_option_no_throw(name);
  return app.count(name) + (own != nullptr ? own->count() : 0);
}

void RefuseNetsWhereNoneApply(const CLI::App& app, const CLI::App& command) {
  const std::string name = command.get_name();
  const bool takesNets = name == "identify" || name == "read" || name == "write";
  if (Given(app, command, "--all") > 0 && !takesNets) {
    throw CLI::ValidationError("--all", "only identify, read and write take it");
  }
  if ((name == "detect" || name == "scan") && Given(app, command, "--net") > 0) {
    throw CLI::ValidationError("--net", name + " finds the net numbers itself");
  }
  if (Given(app, command, "--all") > 0 && Given(app, command, "--net") > 0) {
    throw CLI::ValidationError("--all", "either --net or --all");
  }
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode) {
  CLI::App app{
      "Reads and sets the local barcode prefix for weighed goods (20 to 29, or off)\n"
      "in ЗЕНОР-9 cash registers on a serial line.",
      "zenor9"};
  app.footer(
      Footer({kExitOk, kExitFailed, kExitUsage, kExitPortUnavailable, kExitUnsupportedFirmware,
              kExitVerifyMismatch, kExitInterrupted, kExitTerminated},
             "zenor9 COMMAND --help shows the options of each command."));
  app.set_version_flag("--version",
                       std::string("zenor9 ") + ZENOR9_VERSION + "\n" + kLicenceNotice);
  app.require_subcommand(1);

  MainOptions options;
  std::string version = "0105";
  std::vector<std::string> faults;

  AddPortOption(app, options);
  AddNetOptions(app, options);
  AddOutputOptions(app, invocation);

  const std::initializer_list<int> setUpCodes = {
      kExitOk,          kExitFailed,    kExitUsage, kExitPortUnavailable, kExitUnsupportedFirmware,
      kExitInterrupted, kExitTerminated};
  AddRegisterCommand(app, "identify", "print the net number and the version code", true, setUpCodes,
                     options, invocation);
  AddRegisterCommand(app, "detect", "print the net number that the scan finds", false, setUpCodes,
                     options, invocation);
  AddRegisterCommand(
      app, "scan", "probe every net number 0 to 99 and list what answers, as it answers", false,
      {kExitOk, kExitFailed, kExitUsage, kExitPortUnavailable, kExitInterrupted, kExitTerminated},
      options, invocation);
  AddRegisterCommand(app, "read", "print the prefix as the register holds it, or off", true,
                     setUpCodes, options, invocation);
  CLI::App* write = AddRegisterCommand(
      app, "write", "write the prefix (20 to 29) or off, and print the value written", true,
      {kExitOk, kExitFailed, kExitUsage, kExitPortUnavailable, kExitUnsupportedFirmware,
       kExitVerifyMismatch, kExitInterrupted, kExitTerminated},
      options, invocation);
  write->add_option("VALUE", invocation.writeValue, "20 to 29, or off (any case)")
      ->required()
      ->transform(kPrefixCheck);
  write->add_flag("--verify", invocation.verify,
                  "read the cells back and compare; on a mismatch print what they hold");

  CLI::App* doctor = AddRegisterCommand(
      app, "doctor",
      "say what stands between this computer and the register on a port (writes nothing)", false,
      {kExitOk, kExitFailed, kExitUsage}, options, invocation);
  doctor
      ->add_option("--net", options.nets,
                   "identify this register and time its echo; without it a scan finds one")
      ->transform(kNetNumberCheck);
  doctor->footer(std::string(kDoctorHelp) + "\n\n" +
                 Footer({kExitOk, kExitFailed, kExitUsage, kExitInterrupted, kExitTerminated}));

  CLI::App* ports = app.add_subcommand("ports", "list serial ports and what COM1 to COM4 map to");
  ports->add_flag("--json", invocation.json, "print one JSON object on stdout");
  AddPortMapOptions(*ports, invocation);
  ports->footer(Footer({kExitOk, kExitFailed, kExitUsage}, kPortMapHelp));
  ports->fallthrough();

  CLI::App* sim = app.add_subcommand(
      "sim", "serve virtual registers on a pseudo-terminal until SIGINT or SIGTERM");
  sim->add_option("--net", invocation.sim.nets, "net numbers, one register each")
      ->delimiter(',')
      ->transform(kNetNumberCheck)
      ->capture_default_str();
  sim->add_option("--prefix", invocation.sim.prefix, "the prefix every register holds")
      ->transform(kPrefixCheck)
      ->capture_default_str();
  sim->add_option("--version", version, "version bytes in hex")
      ->check(kVersionCheck)
      ->capture_default_str();
  sim->add_option("--fault", faults, "a fault to switch on (emulator fault names)")
      ->delimiter(',')
      ->check(kFaultCheck);
  sim->add_option("--latency", invocation.sim.latencyMs,
                  "hold every answer back as a USB adapter with this latency timer would "
                  "(ms; 16 is FTDI's default)")
      ->check(CLI::Range(0, 1000));
  sim->add_option("--link", invocation.sim.linkPath, "make a symbolic link to the device here");
  sim->add_flag("--trace", invocation.sim.trace, "print every byte with its ninth bit on stderr");
  sim->footer(kSimHelp);

  try {
    app.parse(argc, argv);
    const CLI::App& command = *app.get_subcommands().front();
    invocation.command = command.get_name();
    if (invocation.command == "sim") {
      RefuseMainOptionsForSim(app);
      RefuseDuplicateNets(invocation.sim.nets);
    }
    RefuseNetsWhereNoneApply(app, command);
    RefuseDuplicateNets(NetsOfList(options.nets));
    if (invocation.command == "doctor" && NetsOfList(options.nets).size() > 1) {
      throw CLI::ValidationError("--net", "doctor looks at one register");
    }
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

  invocation.port = CanonicalPortName(options.port);
  invocation.device = DeviceOfPort(options.port);
  for (int net : NetsOfList(options.nets)) invocation.nets.push_back(static_cast<uint8_t>(net));
  invocation.all = options.all;
  invocation.sim.trace = invocation.sim.trace || invocation.trace;
  ParseVersionBytes(version, invocation.sim.versionHigh, invocation.sim.versionLow);
  for (const std::string& name : faults) {
    emu::Fault fault{};
    if (emu::ParseFault(name, fault)) invocation.sim.faults.push_back(fault);
  }
  return true;
}

}  // namespace zenor9::cli
