#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/cli11_texts.h"
#include "cli/journal_command.h"
#include "cli/outcome.h"
#include "cli/platform.h"
#include "cli/port_map_command.h"
#include "cli/report.h"
#include "link/channel.h"
#include "memmap/prefix_cells.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

namespace {

const char* LicenceNotice() {
  return Tr("Free software under the MIT licence: you may use, copy, change and pass it on.");
}

// What each exit code means, as --help says it, unless a command says it in its
// own terms.
const char* ExitCodeMeaning(int code) {
  static const std::map<int, const char*> meanings = {
      {kExitOk, N_("success")},
      {kExitFailed, N_("no link with the register, or the command failed")},
      {kExitUsage, N_("usage error (nothing was sent)")},
      {kExitPortUnavailable,
       N_("port unavailable (missing, held by another program, or no device in the COM map)")},
      {kExitUnsupportedFirmware,
       N_("firmware not supported (only version code 105, firmware 1.0.5)")},
      {kExitVerifyMismatch, N_("write --verify read back other values than written")},
      {kExitHangUp, N_("stopped by SIGHUP (the terminal closed): what was done is printed")},
      {kExitInterrupted, N_("stopped by SIGINT (Ctrl-C, Ctrl-Break): what was done is printed")},
      {kExitQuit, N_("stopped by SIGQUIT (Ctrl-\\): what was done is printed")},
      {kExitTerminated,
       N_("stopped by SIGTERM (or the console closed, log-off, shut-down): what was done is "
          "printed")},
  };
  return Tr(meanings.at(code));
}

// Exit code 2 of write, and of the program, which may be write.
constexpr const char* kUsageOrSeveral =
    N_("usage error (nothing was sent); or write found several registers (nothing was "
       "written)");

const char* SeveralRegistersHelp() {
  return Tr(R"(With --net 3,7,12 (or --net 3 --net 7 --net 12) or --all each register gets
its own set-up and command, one line each in net-number order as soon as it is
done ("net 7 25", "net 9 error: ..."); the exit code is that of the first
register that failed. A run that is stopped lists the registers it did not
reach.)");
}

const char* WriteHelp() {
  return Tr(R"text(Without --net, write probes the whole line first: it writes only when exactly
one register answers, and names it ("net 3 25 (was 23)"); when several answer
it writes nothing, lists them and exits with 2. Both cells are read just before
the write, for the value it replaces. After a failed write both cells are read
once and their content is said: "the register now holds: 27" (JSON "holds").)text");
}

const char* StopHelp() {
  return Tr(R"(SIGHUP, SIGINT, SIGQUIT and SIGTERM stop a run at its next wait, with exit code
128 + the signal's number. A prefix write already begun is finished first, both
cells and the --verify read-back; a failure of it keeps its own exit code.)");
}

const char* PortMapHelp() {
  return Tr(R"(COMn stands for the device in the environment variable ZENOR9_COMn when it
is set, else for the one in the map file (lines COMn=PATH; # at the start of a
line or after a blank starts a comment), else for the platform's default. A
map that cannot be read, or a COMn whose only line in it is ignored, leaves
COMn without a device (exit code 3), never the default. --map rewrites the
file in one step under a lock and keeps its other lines.)");
}

const char* DoctorHelp() {
  return Tr(R"(Checks in order, a line each (✓ or ✗, what was found, what to do): the device
and its kind, permission, opening it for this program alone, services that
take serial ports, stick parity (set, read back, the driver's known habits),
the adapter's latency, and a register on the line: identify and the time of
about 20 echoes of its address byte against the scan's 10 ms wait. Only
address probes and identify go to the register.)");
}

const char* SimHelp() {
  return Tr(R"(Prints the device path as its first line on stdout. Without --net it serves
one register at net number 0.)");
}

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
      if (!net) return Tr("a net number is 0 to 99 in decimal digits, not %s", Quoted(text));
      text = std::to_string(*net);
      return {};
    },
    "");

// Net numbers separated by commas ("3,7,12"), each rewritten as kNetNumberCheck
// does.
const CLI::Validator kNetListCheck(
    [](std::string& text) -> std::string {
      std::string rewritten;
      std::size_t from = 0;
      for (;;) {
        const std::size_t comma = text.find(',', from);
        std::string net = text.substr(from, comma == std::string::npos ? comma : comma - from);
        if (net.empty()) return Tr("a net number is missing in \"%s\"", Quoted(text));
        if (std::string error = kNetNumberCheck(net); !error.empty()) return error;
        rewritten += (rewritten.empty() ? "" : ",") + net;
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
      text = rewritten;
      return {};
    },
    "");

bool IsComName(const std::string& port) {
  static const std::regex pattern("[cC][oO][mM][0-9]+");
  return std::regex_match(port, pattern);
}

const CLI::Validator kPortCheck(
    [](const std::string& port) -> std::string {
      if (port.empty()) return Tr("the port is empty");
      if (IsComName(port) && portmap::ComNumberOfName(port) == 0) {
        return Tr("only COM1 to COM%s exist: %s", portmap::kHighestComNumber, Quoted(port));
      }
      return {};
    },
    "");

// "off" in any case, as COM1 is, becomes "off".
const CLI::Validator kPrefixCheck(
    [](std::string& value) -> std::string {
      std::string lower = value;
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (lower == "off") value = lower;
      if (value == "off" || IsValidPrefixText(value)) return {};
      return Tr("the prefix must be 20 to 29 or off, not %s", Quoted(value));
    },
    "");

const CLI::Validator kSinceCheck(
    [](const std::string& text) -> std::string {
      if (journal::ParseSince(text)) return {};
      return Tr("a date is YYYY-MM-DD, or YYYY-MM-DDTHH:MM[:SS] with the time, not %s",
                Quoted(text));
    },
    "");

const CLI::Validator kVersionCheck(
    [](const std::string& value) -> std::string {
      uint8_t high = 0;
      uint8_t low = 0;
      if (ParseVersionBytes(value, high, low)) return {};
      return Tr("the version is four hex digits (0105 for firmware 1.0.5), not %s", Quoted(value));
    },
    "");

const CLI::Validator kFaultCheck(
    [](const std::string& name) -> std::string {
      emu::Fault fault{};
      if (emu::ParseFault(name, fault)) return {};
      std::string known;
      for (emu::Fault each : emu::AllFaults()) known += " " + emu::FaultName(each);
      return Tr("unknown fault %s; known:%s", Quoted(name), known);
    },
    "");

// The adapter latency of the virtual register, in milliseconds.
const CLI::Validator kLatencyCheck(
    [](const std::string& value) -> std::string {
      const bool digits = !value.empty() && value.size() <= 4 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
      if (digits && std::stoi(value) <= 1000) return {};
      return Tr("the latency is 0 to 1000 ms, not %s", Quoted(value));
    },
    "");

bool AsksForJson(int argc, const char* const* argv) {
  return std::any_of(argv + 1, argv + argc,
                     [](const char* argument) { return std::strcmp(argument, "--json") == 0; });
}

// CLI11's own messages quote whole arguments, however long they are.
std::string ShortMessage(const std::string& message) {
  return Abridged(message, 160);
}

// "zenor9 read --help", or "zenor9 --help" before a command was recognised.
std::string HelpCommand(const CLI::App& app) {
  const std::vector<CLI::App*> commands = app.get_subcommands();
  return "zenor9" + (commands.empty() ? std::string() : " " + commands.front()->get_name()) +
         " --help";
}

int ReportUsageError(const CLI::App& app, const std::string& message, bool json) {
  if (!json) {
    std::fprintf(stderr, "%s\n%s\n", ShortMessage(message).c_str(),
                 Tr("More: %s", HelpCommand(app)).c_str());
    return kExitUsage;
  }
  Outcome outcome;
  Fail(outcome, kExitUsage, "usage", ShortMessage(message));
  return Report(outcome, true);
}

// The number of single-character edits that turn `from` (in any case) into `to`.
std::size_t EditDistance(const std::string& from, const std::string& to) {
  std::vector<std::size_t> row(to.size() + 1);
  for (std::size_t j = 0; j <= to.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= from.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= to.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(from[i - 1])) == to[j - 1];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[to.size()];
}

// The command that is nearest to `given`, when a slip of the keyboard away.
std::string NearestCommand(const CLI::App& app, const std::string& given) {
  std::string nearest;
  std::size_t nearestDistance = 3;  // two edits at most
  for (const CLI::App* command : app.get_subcommands({})) {
    const std::size_t distance = EditDistance(given, command->get_name());
    if (distance < nearestDistance) {
      nearestDistance = distance;
      nearest = command->get_name();
    }
  }
  return nearest;
}

// CLI11 reports an unknown command only as a missing one: name it, list the
// commands, and suggest the nearest.
std::optional<std::string> MissingCommand(const CLI::App& app, const CLI::ParseError& error) {
  if (error.get_name() != "RequiredError" || !app.get_subcommands().empty()) return std::nullopt;
  std::vector<std::string> names;
  for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
  const std::string list = i18n::JoinedWithAnd(names);
  const std::vector<std::string> extras = app.remaining();
  if (extras.empty()) return Tr("no command given; the commands are %s", list);
  const std::string nearest = NearestCommand(app, extras.front());
  if (nearest.empty()) {
    return Tr("unknown command %s; the commands are %s", Quoted(extras.front()), list);
  }
  return Tr("unknown command %s: did you mean %s? The commands are %s", Quoted(extras.front()),
            nearest, list);
}

// Options that the virtual register does not take from the main command line.
void RefuseMainOptionsForSim(const CLI::App& app) {
  for (const char* name : {"--port", "--net", "--json"}) {
    if (app.count(name) > 0) {
      throw CLI::ValidationError(name, Tr("not an option of sim (see zenor9 sim --help)"));
    }
  }
}

void RefuseDuplicateNets(std::vector<int> nets) {
  std::sort(nets.begin(), nets.end());
  const auto twice = std::adjacent_find(nets.begin(), nets.end());
  if (twice != nets.end()) {
    throw CLI::ValidationError("--net", Tr("net number %s is given twice", *twice));
  }
}

}  // namespace

std::string ExitCodesHelp(const std::vector<ExitCodeHelp>& codes, bool stoppable) {
  std::vector<ExitCodeHelp> all = codes;
  if (stoppable) {
    for (int code : kStopExitCodes) all.push_back({code});
  }
  std::string help = Tr("Exit codes:");
  for (const ExitCodeHelp& code : all) {
    char number[16];
    std::snprintf(number, sizeof number, "\n  %3d  ", code.code);
    help += number;
    help += code.meaning != nullptr ? Tr(code.meaning) : ExitCodeMeaning(code.code);
  }
  return help;
}

namespace {

// The options every register command takes; each command lists them in its own
// help, and they may stand before or after the command.
struct MainOptions {
  std::string port = "COM1";
  // --net as given before the command and after it, each "3,7,12" and checked;
  // given more than once, the lists add up.
  std::vector<std::string> netLists;
  std::vector<std::string> commandNetLists;
  bool all = false;
};

// The net numbers of the checked lists, in increasing order.
std::vector<int> NetsOfLists(const MainOptions& options) {
  std::vector<int> nets;
  for (const std::vector<std::string>* lists : {&options.netLists, &options.commandNetLists}) {
    for (const std::string& list : *lists) {
      std::size_t from = 0;
      for (std::size_t comma = 0; comma != std::string::npos; from = comma + 1) {
        comma = list.find(',', from);
        nets.push_back(std::stoi(list.substr(from, comma - from)));
      }
    }
  }
  std::sort(nets.begin(), nets.end());
  return nets;
}

void AddPortOption(CLI::App& app, MainOptions& options) {
  app.add_option("--port", options.port,
                 Tr("COM1 to COM%s, or a device path", portmap::kHighestComNumber))
      ->check(kPortCheck)
      ->type_name(Tr("COMn|PATH"))
      ->capture_default_str();
}

// --net N[,N...], which may be given more than once.
CLI::Option* AddNetListOption(CLI::App& app, std::vector<std::string>& lists,
                              const std::string& description) {
  return app.add_option("--net", lists, description)
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->transform(kNetListCheck)
      ->type_name("N[,N...]");
}

void AddNetOptions(CLI::App& app, MainOptions& options, bool ofCommand) {
  AddNetListOption(app, ofCommand ? options.commandNetLists : options.netLists,
                   Tr("net numbers of the registers, separated by commas or in one --net each; "
                      "without it a scan finds the one register"));
  app.add_flag("--all", options.all, Tr("every register a full scan finds"));
}

void AddPortMapOptions(CLI::App& ports, Invocation& invocation) {
  const CLI::Validator entryCheck(CheckMapEntry, "");
  const CLI::Validator nameCheck(CheckComName, "");
  CLI::Option* map = ports
                         .add_option("--map", invocation.mapEntry,
                                     Tr("make COMn stand for PATH in this user's map file"))
                         ->check(entryCheck)
                         ->type_name(Tr("COMn=PATH"));
  ports.add_option("--unmap", invocation.unmapName, Tr("remove COMn from this user's map file"))
      ->check(nameCheck)
      ->type_name("COMn")
      ->excludes(map);
}

void AddOutputOptions(CLI::App& app, Invocation& invocation) {
  app.add_flag("--json", invocation.json, Tr("print one JSON object on stdout"));
  app.add_flag("--trace", invocation.trace, Tr("print every byte on the line on stderr"));
}

// Which exit codes a command can give, in its own terms where they differ from
// the program's: every command that talks to a register can be stopped.
struct ExitCodes {
  std::vector<ExitCodeHelp> codes;
  bool stoppable = true;
};

std::string Footer(const ExitCodes& exits, const std::string& more = {}) {
  std::string footer = ExitCodesHelp(exits.codes, exits.stoppable) + "\n\n" + ComPortsHelp();
  if (!more.empty()) footer = more + "\n\n" + footer;
  return footer;
}

// A command that talks to registers: its own help lists the main options and
// only the exit codes it can give. The main options given before the command
// fall through to the program's.
CLI::App* AddRegisterCommand(CLI::App& app, const char* name, const std::string& description,
                             bool takesNets, const ExitCodes& exits, MainOptions& options,
                             Invocation& invocation) {
  CLI::App* command = app.add_subcommand(name, description);
  UseUserLanguage(*command);
  AddPortOption(*command, options);
  if (takesNets) AddNetOptions(*command, options, true);
  AddOutputOptions(*command, invocation);
  command->footer(Footer(exits, takesNets ? SeveralRegistersHelp() : ""));
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
    throw CLI::ValidationError("--all", Tr("only identify, read and write take it"));
  }
  if ((name == "detect" || name == "scan") && Given(app, command, "--net") > 0) {
    throw CLI::ValidationError("--net", Tr("%s finds the net numbers itself", name));
  }
  if (Given(app, command, "--all") > 0 && Given(app, command, "--net") > 0) {
    throw CLI::ValidationError("--all", Tr("either --net or --all"));
  }
}

// What the parse fills besides the invocation itself.
struct ParsedOptions {
  MainOptions main;
  std::string version = "0105";
  std::vector<std::string> faults;
  std::string since;  // journal --since
};

void AddProgramOptions(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  UseUserLanguage(app);
  const std::string more = Tr("zenor9 COMMAND --help shows the options of each command.") +
                           std::string("\n\n") + StopHelp();
  app.footer(Footer({{{kExitOk},
                      {kExitFailed},
                      {kExitUsage, kUsageOrSeveral},
                      {kExitPortUnavailable},
                      {kExitUnsupportedFirmware},
                      {kExitVerifyMismatch}}},
                    more));
  app.set_version_flag("--version",
                       std::string("zenor9 ") + ZENOR9_VERSION +
                           "\nCopyright (c) 2026 zenor9-prefix developers.\n" + LicenceNotice(),
                       Tr("print the version and exit"));
  app.require_subcommand(1);
  AddPortOption(app, options.main);
  AddNetOptions(app, options.main, false);
  AddOutputOptions(app, invocation);
}

void AddRegisterCommands(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  const ExitCodes setUp{
      {{kExitOk}, {kExitFailed}, {kExitUsage}, {kExitPortUnavailable}, {kExitUnsupportedFirmware}}};
  AddRegisterCommand(app, "identify", Tr("print the net number and the version code"), true, setUp,
                     options.main, invocation);
  AddRegisterCommand(app, "detect", Tr("print the net number that the scan finds"), false, setUp,
                     options.main, invocation);
  AddRegisterCommand(
      app, "scan", Tr("probe every net number 0 to 99 and list what answers, as it answers"), false,
      {{{kExitOk},
        {kExitFailed, N_("no register answered")},
        {kExitUsage},
        {kExitPortUnavailable}}},
      options.main, invocation);
  AddRegisterCommand(app, "read", Tr("print the prefix as the register holds it, or off"), true,
                     setUp, options.main, invocation);
}

void AddWriteCommand(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  CLI::App* write = AddRegisterCommand(
      app, "write",
      Tr("write the prefix (20 to 29) or off, and print it with the value it replaced"), true,
      {{{kExitOk},
        {kExitFailed},
        {kExitUsage, kUsageOrSeveral},
        {kExitPortUnavailable},
        {kExitUnsupportedFirmware},
        {kExitVerifyMismatch}}},
      options.main, invocation);
  write->footer(std::string(WriteHelp()) + "\n\n" + write->get_footer());
  write->add_option(Tr("VALUE"), invocation.writeValue, Tr("20 to 29, or off (any case)"))
      ->required()
      ->transform(kPrefixCheck)
      ->type_name("20..29|off");
  write->add_flag("--verify", invocation.verify,
                  Tr("read the cells back and compare; on a mismatch print what they hold"));
  write->add_flag("--no-journal", invocation.noJournal,
                  Tr("keep this run out of the journal of writes"));
}

void AddDoctorCommand(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  const ExitCodes exits{{{kExitOk}, {kExitFailed, N_("a check failed")}, {kExitUsage}}};
  CLI::App* doctor = AddRegisterCommand(
      app, "doctor",
      Tr("say what stands between this computer and the register on a port (writes nothing)"),
      false, exits, options.main, invocation);
  AddNetListOption(*doctor, options.main.commandNetLists,
                   Tr("identify this register and time its echo; without it a scan finds one"))
      ->type_name("N");
  doctor->footer(std::string(DoctorHelp()) + "\n\n" + Footer(exits));
}

void AddPortsCommand(CLI::App& app, Invocation& invocation) {
  CLI::App* ports =
      app.add_subcommand("ports", Tr("list serial ports and what COM1 to COM4 stand for"));
  UseUserLanguage(*ports);
  ports->add_flag("--json", invocation.json, Tr("print one JSON object on stdout"));
  AddPortMapOptions(*ports, invocation);
  ports->footer(Footer(
      {{{kExitOk}, {kExitFailed, N_("the COM map could not be read or written")}, {kExitUsage}},
       false},
      PortMapHelp()));
  ports->fallthrough();
}

// Its --port and --net filter the list; given before the command they filter it too.
void AddJournalCommand(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  CLI::App* journal =
      app.add_subcommand("journal", Tr("list the prefix writes kept in the journal"));
  UseUserLanguage(*journal);
  journal
      ->add_option("--port", options.main.port, Tr("only the writes through this port or device"))
      ->check(kPortCheck)
      ->type_name(Tr("COMn|PATH"));
  AddNetListOption(*journal, options.main.commandNetLists,
                   Tr("only the writes to these net numbers"));
  journal
      ->add_option("--since", options.since,
                   Tr("only the writes from this date or date-time on, in local time unless it "
                      "ends in Z or +HH:MM"))
      ->check(kSinceCheck)
      ->type_name(Tr("DATE"));
  journal->add_flag("--json", invocation.json, Tr("print the records as a JSON array"));
  journal->footer(
      std::string(JournalHelp()) + "\n\n" +
      ExitCodesHelp({{kExitOk}, {kExitFailed, N_("the journal could not be read")}, {kExitUsage}},
                    false));
}

void FillJournalFilter(const CLI::App& app, const ParsedOptions& options, Invocation& invocation) {
  journal::Filter& filter = invocation.journalFilter;
  for (uint8_t net : invocation.nets) filter.nets.push_back(net);
  if (Given(app, *app.get_subcommands().front(), "--port") > 0) filter.port = invocation.port.name;
  if (!options.since.empty()) filter.since = journal::ParseSince(options.since);
}

void AddSimCommand(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  CLI::App* sim = app.add_subcommand(
      "sim", Tr("serve virtual registers on a pseudo-terminal until SIGINT or SIGTERM"));
  UseUserLanguage(*sim);
  sim->add_option("--net", invocation.sim.nets, Tr("net numbers, one register each"))
      ->delimiter(',')
      ->transform(kNetNumberCheck)
      ->type_name("N[,N...]")
      ->capture_default_str();
  sim->add_option("--prefix", invocation.sim.prefix, Tr("the prefix every register holds"))
      ->transform(kPrefixCheck)
      ->type_name("20..29|off")
      ->capture_default_str();
  sim->add_option("--version", options.version, Tr("version bytes in hex"))
      ->check(kVersionCheck)
      ->type_name("HHHH")
      ->capture_default_str();
  sim->add_option("--fault", options.faults, Tr("a fault to switch on (emulator fault names)"))
      ->delimiter(',')
      ->check(kFaultCheck)
      ->type_name(Tr("NAME"));
  sim->add_option("--latency", invocation.sim.latencyMs,
                  Tr("hold every answer back as a USB adapter with this latency timer would "
                     "(ms; 16 is FTDI's default)"))
      ->check(kLatencyCheck)
      ->type_name(Tr("MS"));
  sim->add_option("--link", invocation.sim.linkPath, Tr("make a symbolic link to the device here"))
      ->type_name(Tr("PATH"));
  sim->add_flag("--trace", invocation.sim.trace,
                Tr("print every byte with its ninth bit on stderr"));
  sim->footer(std::string(SimHelp()) + "\n\n" +
              ExitCodesHelp({{kExitOk, N_("stopped by SIGINT, SIGTERM or SIGHUP")},
                             {kExitFailed, N_("no pseudo-terminal, or the link could not be made")},
                             {kExitUsage}},
                            false));
}

// The choices that no single option can check: which options go with which
// command. Throws CLI11's validation error.
void CheckChoices(const CLI::App& app, const ParsedOptions& options, const Invocation& invocation) {
  const CLI::App& chosen = *app.get_subcommands().front();
  const std::string& command = invocation.command;
  if (command == "sim") {
    RefuseMainOptionsForSim(app);
    RefuseDuplicateNets(invocation.sim.nets);
  }
  RefuseNetsWhereNoneApply(app, chosen);
  RefuseDuplicateNets(NetsOfLists(options.main));
  if (command == "doctor" && NetsOfLists(options.main).size() > 1) {
    throw CLI::ValidationError("--net", Tr("doctor looks at one register"));
  }
}

// Help and the version (CLI11's exit code 0) are printed as text even with
// --json; a usage error in the user's language.
int ReportParseError(CLI::App& app, const CLI::ParseError& error, int argc,
                     const char* const* argv) {
  if (error.get_exit_code() == 0) return app.exit(error) == 0 ? kExitOk : kExitUsage;
  const bool json = AsksForJson(argc, argv);
  if (const std::optional<std::string> missing = MissingCommand(app, error)) {
    return ReportUsageError(app, *missing, json);
  }
  return ReportUsageError(app, UsageErrorText(error), json);
}

void FillInvocation(const ParsedOptions& options, Invocation& invocation) {
  invocation.port = ChoosePort(options.main.port);
  for (int net : NetsOfLists(options.main)) invocation.nets.push_back(static_cast<uint8_t>(net));
  invocation.all = options.main.all;
  invocation.sim.trace = invocation.sim.trace || invocation.trace;
  ParseVersionBytes(options.version, invocation.sim.versionHigh, invocation.sim.versionLow);
  for (const std::string& name : options.faults) {
    emu::Fault fault{};
    if (emu::ParseFault(name, fault)) invocation.sim.faults.push_back(fault);
  }
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode) {
  CLI::App app{Tr("Reads and sets the local barcode prefix for weighed goods (20 to 29, or off)\n"
                  "in ЗЕНОР-9 cash registers on a serial line."),
               "zenor9"};
  ParsedOptions options;
  AddProgramOptions(app, options, invocation);
  AddRegisterCommands(app, options, invocation);
  AddWriteCommand(app, options, invocation);
  AddDoctorCommand(app, options, invocation);
  AddPortsCommand(app, invocation);
  AddJournalCommand(app, options, invocation);
  AddSimCommand(app, options, invocation);
  try {
    app.parse(argc, argv);
    invocation.command = app.get_subcommands().front()->get_name();
    CheckChoices(app, options, invocation);
  } catch (const CLI::ParseError& error) {
    exitCode = ReportParseError(app, error, argc, argv);
    return false;
  }
  FillInvocation(options, invocation);
  if (invocation.command == "journal") FillJournalFilter(app, options, invocation);
  return true;
}

}  // namespace zenor9::cli
