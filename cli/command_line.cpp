#include "cli/command_line.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/cli11_texts.h"
#include "cli/help_texts.h"
#include "cli/journal_command.h"
#include "cli/option_checks.h"
#include "cli/options_before_command.h"
#include "cli/outcome.h"
#include "cli/platform_help.h"
#include "cli/port_map_command.h"
#include "cli/usage_errors.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

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
  int retries = kDefaultRetries;
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
                 Tr("COM1 to COM%s, a device path, or rfc2217://HOST:PORT for a line behind a "
                    "serial device server; default COM1",
                    portmap::kHighestComNumber))
      ->check(kPortCheck)
      ->type_name(Tr("COMn|PATH"));
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
  ports
      .add_option("--map", invocation.mapEntry,
                  Tr("make COMn stand for PATH in this user's map file"))
      ->check(entryCheck)
      ->type_name(Tr("COMn=PATH"));
  // Not CLI11's excludes(), which its help shows inside the option's column.
  ports.add_option("--unmap", invocation.unmapName, Tr("remove COMn from this user's map file"))
      ->check(nameCheck)
      ->type_name("COMn");
}

void AddOutputOptions(CLI::App& app, Invocation& invocation) {
  app.add_flag("--json", invocation.json, Tr("print one JSON object on stdout"));
  app.add_flag("--trace", invocation.trace,
               Tr("print every byte on the line, and every retry, on stderr"));
}

void AddRetriesOption(CLI::App& app, MainOptions& options) {
  app.add_option("--retries", options.retries,
                 Tr("tries of a failed identify, read or write again, 0 to %s; default %s",
                    kMostRetries, kDefaultRetries))
      ->check(kRetriesCheck)
      ->type_name("N");
}

// The commands whose exchanges are tried again: --retries in their help, with
// what it does.
void TakeRetries(CLI::App& command, MainOptions& options) {
  AddRetriesOption(command, options);
  command.footer(std::string(RetriesHelp()) + "\n\n" + command.get_footer());
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

// What the parse fills besides the invocation itself.
struct ParsedOptions {
  MainOptions main;
  std::string version = "0105";
  std::vector<std::string> faults;
  std::vector<std::string> simPrefixes;  // sim --prefix: "25", "7=27"
  std::string since;                     // journal --since
  std::string journalLabel;              // journal --label
  bool noVerify = false;                 // write --no-verify
};

void AddProgramOptions(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  UseUserLanguage(app);
  const std::string more = Tr("zenor9 COMMAND --help shows the options of each command.") +
                           std::string("\n\n") + DefaultsHelp() + "\n\n" + StopHelp();
  app.footer(Footer({{{kExitOk},
                      {kExitFailed},
                      {kExitUsage, kUsageOrSeveral},
                      {kExitPortUnavailable},
                      {kExitUnsupportedFirmware},
                      {kExitVerifyMismatch}}},
                    more));
  app.set_version_flag("--version", VersionText(), Tr("print the version and exit"));
  app.require_subcommand(1);
  AddPortOption(app, options.main);
  AddNetOptions(app, options.main, false);
  AddOutputOptions(app, invocation);
  AddRetriesOption(app, options.main);
}

void AddRegisterCommands(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  const ExitCodes setUp{
      {{kExitOk}, {kExitFailed}, {kExitUsage}, {kExitPortUnavailable}, {kExitUnsupportedFirmware}}};
  TakeRetries(
      *AddRegisterCommand(app, "identify", Tr("print the net number and the firmware version"),
                          true, setUp, options.main, invocation),
      options.main);
  TakeRetries(*AddRegisterCommand(app, "detect", Tr("print the net number that the scan finds"),
                                  false, setUp, options.main, invocation),
              options.main);
  TakeRetries(
      *AddRegisterCommand(
          app, "scan", Tr("probe every net number 0 to 99 and list what answers, as it answers"),
          false,
          {{{kExitOk},
            {kExitFailed, N_("no register answered, or something answered but not as a register "
                             "does")},
            {kExitUsage},
            {kExitPortUnavailable}}},
          options.main, invocation),
      options.main);
  CLI::App* read = AddRegisterCommand(
      app, "read", Tr("print the prefix as the register holds it, or %s", Tr("off")), true,
      {{{kExitOk},
        {kExitFailed},
        {kExitUsage, kUsageOrSeveral},
        {kExitPortUnavailable},
        {kExitUnsupportedFirmware}}},
      options.main, invocation);
  TakeRetries(*read, options.main);
  read->footer(std::string(ReadHelp()) + "\n\n" + read->get_footer());
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
  TakeRetries(*write, options.main);
  write->footer(std::string(WriteHelp()) + "\n\n" + write->get_footer());
  write->add_option(Tr("VALUE"), invocation.write.value, Tr("20 to 29, or off (any case)"))
      ->required()
      ->transform(kPrefixCheck)
      ->type_name(Tr("20..29|off"));
  // Reading back is what a write does; the flag stays for the scripts that give it.
  const std::string verifyHelp = Tr("read both cells back after writing (the default)");
  write->add_flag("--verify", verifyHelp);
  write->add_flag("--no-verify", options.noVerify, Tr("leave the read-back out"));
  write->add_flag("--if-different", invocation.write.ifDifferent,
                  Tr("read first, and leave a register that already holds VALUE unwritten"));
  write->add_flag("--check", invocation.write.check,
                  Tr("read only, and say what a write would change (writes nothing)"));
  write->add_flag("--no-journal", invocation.noJournal,
                  Tr("keep this run out of the journal of writes"));
  write
      ->add_option("--label", invocation.label,
                   Tr("the shop or line, kept with each journal line of this run"))
      ->check(kJournalTextCheck)
      ->type_name(Tr("TEXT"));
  write
      ->add_option("--note", invocation.note,
                   Tr("a note such as a ticket number, kept with each journal line of this run"))
      ->check(kJournalTextCheck)
      ->type_name(Tr("TEXT"));
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
  TakeRetries(*doctor, options.main);
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
  journal->add_flag("--changed-only", invocation.journalFilter.changedOnly,
                    Tr("only the writes that changed a register"));
  journal->add_option("--label", options.journalLabel, Tr("only the writes with this label"))
      ->check(kJournalTextCheck)
      ->type_name(Tr("TEXT"));
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
  if (!options.journalLabel.empty()) filter.label = options.journalLabel;
}

void AddSimCommand(CLI::App& app, ParsedOptions& options, Invocation& invocation) {
  CLI::App* sim = app.add_subcommand(
      "sim", Tr("serve virtual registers on a pseudo-terminal until SIGINT or SIGTERM"));
  // It needs pseudo-terminals: where there are none, the help leaves it out and
  // the command says why it cannot run.
  if (!HasVirtualRegister()) sim->group("");
  UseUserLanguage(*sim);
  sim->add_option("--net", invocation.sim.nets, Tr("net numbers, one register each; default 0"))
      ->delimiter(',')
      ->transform(kNetNumberCheck)
      ->type_name("N[,N...]");
  sim->add_option("--prefix", options.simPrefixes,
                  Tr("the prefix every register holds (default 23), or NET=PREFIX for one"))
      ->delimiter(',')
      ->transform(kSimPrefixCheck)
      ->type_name(Tr("[N=]20..29|off[,...]"));
  sim->add_option("--version", options.version,
                  Tr("version bytes in hex; default 0105 (firmware 1.0.5)"))
      ->check(kVersionCheck)
      ->type_name("HHHH");
  sim->add_option("--fault", options.faults, Tr("a fault to switch on (names below)"))
      ->delimiter(',')
      ->check(kFaultCheck)
      ->type_name(Tr("NAME"));
  sim->add_option("--random-faults", invocation.sim.randomPercent,
                  Tr("spoil this per cent of the exchanges, each with one fault (below)"))
      ->check(kPercentCheck)
      ->type_name("P");
  sim->add_option("--seed", invocation.sim.seed, Tr("the draw of the random faults; default 1"))
      ->check(kSeedCheck)
      ->type_name("N");
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

void FillInvocation(const ParsedOptions& options, Invocation& invocation) {
  invocation.port = ChoosePort(options.main.port);
  for (int net : NetsOfLists(options.main)) invocation.nets.push_back(static_cast<uint8_t>(net));
  invocation.all = options.main.all;
  invocation.retries = options.main.retries;
  invocation.write.verify = !options.noVerify;
  invocation.sim.trace = invocation.sim.trace || invocation.trace;
  ParseVersionBytes(options.version, invocation.sim.versionHigh, invocation.sim.versionLow);
  for (const std::string& item : options.simPrefixes) {
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      invocation.sim.prefix = item;
    } else {
      invocation.sim.prefixOf[std::stoi(item.substr(0, equals))] = item.substr(equals + 1);
    }
  }
  for (const std::string& name : options.faults) {
    emu::Fault fault{};
    if (emu::ParseFault(name, fault)) invocation.sim.faults.push_back(fault);
  }
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode) {
  CLI::App app{Tr("Reads and sets the local barcode prefix for weighed goods (20 to 29, or %s)\n"
                  "in ЗЕНОР-9 cash registers on a serial line.",
                  Tr("off")),
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
    std::vector<std::string> args =
        CommandOptionsAfterCommand(app, std::vector<std::string>(argv + 1, argv + argc));
    // CLI11 takes the arguments last first.
    std::reverse(args.begin(), args.end());
    app.parse(args);
    invocation.command = app.get_subcommands().front()->get_name();
    CheckChoices(app, NetsOfLists(options.main), invocation.sim.nets, options.simPrefixes);
  } catch (const CLI::ParseError& error) {
    exitCode = ReportParseError(app, error, argc, argv);
    return false;
  }
  FillInvocation(options, invocation);
  if (invocation.command == "journal") FillJournalFilter(app, options, invocation);
  return true;
}

}  // namespace zenor9::cli
