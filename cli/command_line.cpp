#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/cli11_texts.h"
#include "cli/connection.h"
#include "cli/journal_command.h"
#include "cli/outcome.h"
#include "cli/platform.h"
#include "cli/platform_help.h"
#include "cli/port_map_command.h"
#include "cli/remote_line.h"
#include "cli/report.h"
#include "link/channel.h"
#include "link/rfc2217_port.h"
#include "memmap/prefix_cells.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

namespace {

using i18n::Abridged;

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
      {kExitVerifyMismatch, N_("write read back other values than it wrote")},
  };
  return Tr(meanings.at(code));
}

// Exit code 2 of write, and of the program, which may be write.
constexpr const char* kUsageOrSeveral =
    N_("usage error (nothing was sent); or read or write found several registers (none was "
       "read or written)");

const char* SeveralRegistersHelp() {
  return Tr(R"(With --net 3,7,12 (or --net 3 --net 7 --net 12) or --all each register gets
its own set-up and command, one line each in net-number order as soon as it is
done ("register 7: 25", "register 9: error: ..."); the exit code is that of the
first register that failed. --all lists an address where something answered,
but not as a register does, as a failed register with what came back. A run
that is stopped, or whose port goes away, lists the registers it did not reach.
A list of net numbers is addressed directly, without a scan.)");
}

const char* RetriesHelp() {
  return Tr(R"text(An identify, read or write that fails (no echo, a wrong echo, no
acknowledgement, a reply cut short or failing its check sum) is tried again
once nothing of its answer can still come (at most a second after it was
sent, and the round trip on a remote line), up to --retries times (3 unless
given; 0 tries each once); writing a cell again is harmless. A scan's probes
are not tried again, but an address where a stray byte came back is probed
again to tell a register from noise. --trace shows each retry; the JSON counts
them per register ("retries").)text");
}

const char* DefaultsHelp() {
  return Tr(R"text(A write reads both cells back and is done only when the register holds what
was written (exit code 5 otherwise; --no-verify leaves the read-back out). A
failed identify, read or write is tried again up to 3 times (--retries). Every
write, done or failed, leaves a line in the journal (zenor9 journal;
--no-journal leaves a run out).)text");
}

const char* ReadHelp() {
  return Tr(R"text(Without --net, read probes the whole line first: it reads only when exactly
one register answers, and names it ("register 3: 25"); when several answer it
reads none, names them and exits with 2.)text");
}

const char* WriteHelp() {
  return Tr(R"text(Both cells are read first, for the value the write replaces ("was ?" when
they cannot be read: the write goes ahead). After writing, both cells are read
back: the write is done only when the register holds what was written ("27
(was 23; read back)"); a register that holds something else ends the run with
exit code 5 and "wrote 27, the register holds 23". --no-verify leaves the
read-back out. After a failed write both cells are read once and their
content is said: "the register now holds: 27" (JSON "holds").

Without --net, write probes the whole line first: it writes only when exactly
one register answers, and names it ("register 3: 25 (was 23; read back)");
when several answer it writes nothing, names them and exits with 2.

--if-different writes only a register that holds something other than VALUE
("25 (already)"); --check reads only and says what a write would change ("27
-> 25 (would be written)"), writing nothing. A write over several registers
ends with a line that sums it up.

Every write, done or failed, leaves a line in the journal (zenor9 journal
--help), with --label and --note when given; a register that --if-different
or --check leaves unwritten leaves none. --no-journal leaves this run out.)text");
}

const char* PortMapHelp() {
  return Tr(R"(COMn stands for the device in the environment variable ZENOR9_COMn when it
is set, else for the one in the map file (lines COMn=PATH; # at the start of a
line or after a blank starts a comment), else for the platform's default. A
map that cannot be read, or a COMn whose only line in it is ignored, leaves
COMn without a device (exit code 3), never the default. --map rewrites the
file in one step under a lock and keeps its other lines; --map and --unmap go
one at a time.)");
}

std::string DoctorHelp() {
  return Tr(R"(Checks in order, a line each (%s or %s, what was found, what to do): the device
and its kind, permission, opening it for this program alone, services that
take serial ports, stick parity (set, read back, the driver's known habits),
the adapter's latency, and a register on the line: without --net the whole
line scanned and judged as read and write judge it (several registers, or an
answer that is no register's, named), identify with the same retries, and
the time of about 20 echoes of its address byte against the scan's 10 ms
wait. Only address probes and identify go to the register.)",
            CheckMark(true), CheckMark(false));
}

// Names joined by commas, on indented lines of at most 80 characters.
std::string IndentedList(const std::vector<std::string>& names) {
  std::string text = "  ";
  std::size_t lineLength = 2;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string item = names[i] + (i + 1 < names.size() ? "," : ".");
    if (i > 0 && lineLength + 1 + item.size() > 80) {
      text += "\n  ";
      lineLength = 2;
    } else if (i > 0) {
      text += " ";
      ++lineLength;
    }
    text += item;
    lineLength += item.size();
  }
  return text;
}

std::string FaultNames(const std::vector<emu::Fault>& faults) {
  std::vector<std::string> names;
  for (emu::Fault fault : faults) names.push_back(emu::FaultName(fault));
  return IndentedList(names);
}

std::string SimHelp() {
  return Tr(R"(Prints the device path as its first line on stdout. Without --net it serves
one register at net number 0.

--fault switches a fault on for every exchange:
%s
late-reply answers 800 ms late; late answers %s to %s ms late, drawn anew
for each exchange.
--random-faults P spoils P per cent of the exchanges, each with one of
%s
The draw comes from --seed (the same seed, the same draw).)",
            FaultNames(emu::AllFaults()), emu::kLateMinMs, emu::kLateMaxMs,
            FaultNames(emu::SpoiledAnswerFaults()));
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

bool IsDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A bare number is taken for a COM port that lacks its name rather than for a
// file of that name in the current folder (./1 still names one).
const CLI::Validator kPortCheck(
    [](const std::string& port) -> std::string {
      if (port.empty()) return Tr("the port is empty");
      if (IsRemoteDevice(port)) return RemoteAddressProblem(port);
      if (IsDigits(port) && portmap::ComNumberOfName("COM" + port) != 0) {
        return Tr("%s is no port: did you mean COM%s?", Quoted(port), port);
      }
      if ((IsComName(port) || IsDigits(port)) && portmap::ComNumberOfName(port) == 0) {
        return Tr("only COM1 to COM%s exist: %s", portmap::kHighestComNumber, Quoted(port));
      }
      return {};
    },
    "");

// The words for "no local barcode": off in any case, as COM1 is, and the
// Russian word; each becomes "off".
bool IsOffWord(const std::string& value) {
  std::string lower = value;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "off" || value == "выкл" || value == "Выкл" || value == "ВЫКЛ";
}

const CLI::Validator kPrefixCheck(
    [](std::string& value) -> std::string {
      if (IsOffWord(value)) value = "off";
      if (value == "off" || IsValidPrefixText(value)) return {};
      return Tr("the prefix must be 20 to 29 or %s, not %s", Tr("off"), Quoted(value));
    },
    "");

// One item of sim --prefix: a prefix for every register, or NET=PREFIX for one
// ("7=27"), each rewritten as its own check does.
const CLI::Validator kSimPrefixCheck(
    [](std::string& item) -> std::string {
      const std::size_t equals = item.find('=');
      std::string value = equals == std::string::npos ? item : item.substr(equals + 1);
      if (std::string error = kPrefixCheck(value); !error.empty()) return error;
      if (equals == std::string::npos) {
        item = value;
        return {};
      }
      std::string net = item.substr(0, equals);
      if (std::string error = kNetNumberCheck(net); !error.empty()) return error;
      item = net + "=" + value;
      return {};
    },
    "");

// A label or note for the journal: one line of UTF-8 text, short enough for a
// listing to show whole.
constexpr std::size_t kMostJournalTextCharacters = 200;

const CLI::Validator kJournalTextCheck(
    [](const std::string& text) -> std::string {
      const bool control = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
      });
      if (!i18n::IsUtf8(text) || control) {
        return Tr("a label or note is one line of UTF-8 text, not %s", Quoted(text));
      }
      if (i18n::CharacterCount(text) > kMostJournalTextCharacters) {
        return Tr("a label or note has at most %s characters", kMostJournalTextCharacters);
      }
      return {};
    },
    "");

// A share of 0 to 100 per cent.
const CLI::Validator kPercentCheck(
    [](const std::string& value) -> std::string {
      if (IsDigits(value) && value.size() <= 3 && std::stoi(value) <= 100) return {};
      return Tr("a share is 0 to 100 per cent, not %s", Quoted(value));
    },
    "");

const CLI::Validator kSeedCheck(
    [](const std::string& value) -> std::string {
      if (IsDigits(value) && value.size() <= 9) return {};
      return Tr("a seed is a number of up to 9 digits, not %s", Quoted(value));
    },
    "");

const CLI::Validator kRetriesCheck(
    [](const std::string& value) -> std::string {
      if (IsDigits(value) && value.size() <= 2 && std::stoi(value) <= kMostRetries) return {};
      return Tr("the retries are 0 to %s, not %s", kMostRetries, Quoted(value));
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
      if (IsDigits(value) && value.size() <= 4 && std::stoi(value) <= 1000) return {};
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

// Of `names`, the one nearest to `given`, when a slip of the keyboard away (two
// edits at most, or only its case); empty when none is. `given` itself is never
// the answer: a name refused where it stands is no suggestion for it.
std::string Nearest(const std::string& given, const std::vector<std::string>& names) {
  std::string nearest;
  std::size_t nearestDistance = 3;
  for (const std::string& name : names) {
    const std::size_t distance = EditDistance(given, name);
    if (name != given && distance < nearestDistance) {
      nearestDistance = distance;
      nearest = name;
    }
  }
  return nearest;
}

// The commands the help lists: a command that this platform lacks is left out.
std::vector<std::string> ListedCommands(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* command : app.get_subcommands({})) {
    if (!command->get_group().empty()) names.push_back(command->get_name());
  }
  return names;
}

// CLI11 reports an unknown command only as a missing one: name it, list the
// commands, and suggest the nearest.
std::optional<std::string> MissingCommand(const CLI::App& app, const CLI::ParseError& error) {
  if (error.get_name() != "RequiredError" || !app.get_subcommands().empty()) return std::nullopt;
  const std::vector<std::string> names = ListedCommands(app);
  const std::string list = i18n::JoinedWithAnd(names);
  const std::vector<std::string> extras = app.remaining();
  if (extras.empty()) return Tr("no command given; the commands are %s", list);
  const std::string nearest = Nearest(extras.front(), names);
  if (nearest.empty()) {
    return Tr("unknown command %s; the commands are %s", Quoted(extras.front()), list);
  }
  return Tr("unknown command %s: did you mean %s? The commands are %s", Quoted(extras.front()),
            nearest, list);
}

// The long names of the options the program and its chosen command take.
std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<const CLI::App*> apps = {&app};
  for (const CLI::App* command : app.get_subcommands()) apps.push_back(command);
  std::vector<std::string> names;
  for (const CLI::App* each : apps) {
    for (const CLI::Option* option : each->get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
  }
  return names;
}

// CLI11 takes an unknown option for an argument that is not expected: name it
// as an option and suggest the nearest one ("--verfy": --verify).
std::optional<std::string> UnknownOption(const CLI::App& app, const CLI::ParseError& error) {
  if (dynamic_cast<const CLI::ExtrasError*>(&error) == nullptr) return std::nullopt;
  const std::string message = error.what();
  const std::size_t colon = message.find(": ");
  if (colon == std::string::npos) return std::nullopt;
  // CLI11 lists the arguments last first.
  std::vector<std::string> extras;
  std::istringstream words(message.substr(colon + 2));
  for (std::string word; words >> word;) extras.insert(extras.begin(), word);
  const auto option = std::find_if(extras.begin(), extras.end(), [](const std::string& word) {
    return word.size() > 1 && word[0] == '-';
  });
  if (option == extras.end()) return std::nullopt;
  const std::string name = option->substr(0, option->find('='));
  const CLI::App* chosen = app.get_subcommands().empty() ? nullptr : app.get_subcommands().front();
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command != chosen && command->get_option_no_throw(name) != nullptr) {
      return Tr("unknown option %s: it is an option of %s", Quoted(*option), command->get_name());
    }
  }
  const std::string nearest = Nearest(name, OptionNames(app));
  if (nearest.empty()) return Tr("unknown option %s", Quoted(*option));
  return Tr("unknown option %s: did you mean %s?", Quoted(*option), nearest);
}

// Options that the virtual register does not take from the main command line.
void RefuseMainOptionsForSim(const CLI::App& app) {
  for (const char* name : {"--port", "--net", "--json"}) {
    if (app.count(name) > 0) {
      throw CLI::ValidationError(name, Tr("not an option of sim (see zenor9 sim --help)"));
    }
  }
}

// sim --prefix: at most one value for every register, and each NET=PREFIX for a
// register that --net serves, once.
void CheckSimPrefixes(const std::vector<std::string>& items, const std::vector<int>& nets) {
  int common = 0;
  std::vector<int> named;
  for (const std::string& item : items) {
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      if (++common > 1) throw CLI::ValidationError("--prefix", Tr("one prefix for every register"));
      continue;
    }
    const int net = std::stoi(item.substr(0, equals));
    if (std::find(nets.begin(), nets.end(), net) == nets.end()) {
      throw CLI::ValidationError("--prefix", Tr("no register at net number %s (see --net)", net));
    }
    named.push_back(net);
  }
  std::sort(named.begin(), named.end());
  const auto twice = std::adjacent_find(named.begin(), named.end());
  if (twice != named.end()) {
    throw CLI::ValidationError("--prefix", Tr("net number %s is given twice", *twice));
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
    for (const ExitCodeHelp& code : StopExitCodes()) all.push_back(code);
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

void RefuseRetriesWhereNoneApply(const CLI::App& app, const CLI::App& command) {
  if (app.count("--retries") > 0 && command.get_option_no_throw("--retries") == nullptr) {
    throw CLI::ValidationError("--retries",
                               Tr("only identify, detect, scan, read, write and doctor take it"));
  }
}

// Pairs of options that exclude each other, checked here rather than with
// CLI11's excludes(), which its help shows inside the option's column.
void RefuseOptionsTogether(const CLI::App& command) {
  const std::pair<const char*, const char*> pairs[] = {{"--map", "--unmap"},
                                                       {"--verify", "--no-verify"}};
  for (const auto& [first, second] : pairs) {
    const CLI::Option* one = command.get_option_no_throw(first);
    const CLI::Option* other = command.get_option_no_throw(second);
    if (one != nullptr && other != nullptr && one->count() > 0 && other->count() > 0) {
      throw CLI::ValidationError(Tr("%s cannot go with %s", first, second));
    }
  }
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
  app.set_version_flag("--version",
                       std::string("zenor9 ") + ZENOR9_VERSION +
                           "\nCopyright (c) 2026 zenor9-prefix developers.\n" + LicenceNotice(),
                       Tr("print the version and exit"));
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

// The choices that no single option can check: which options go with which
// command. Throws CLI11's validation error.
void CheckChoices(const CLI::App& app, const ParsedOptions& options, const Invocation& invocation) {
  const CLI::App& chosen = *app.get_subcommands().front();
  const std::string& command = invocation.command;
  if (command == "sim") {
    RefuseMainOptionsForSim(app);
    RefuseDuplicateNets(invocation.sim.nets);
    CheckSimPrefixes(options.simPrefixes, invocation.sim.nets);
  }
  RefuseNetsWhereNoneApply(app, chosen);
  RefuseRetriesWhereNoneApply(app, chosen);
  RefuseOptionsTogether(chosen);
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
  if (const std::optional<std::string> unknown = UnknownOption(app, error)) {
    return ReportUsageError(app, *unknown, json);
  }
  return ReportUsageError(app, UsageErrorText(error), json);
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

// Whether `name` takes a value, as the program or, failing that, any command
// knows it.
bool TakesValue(const CLI::App& app, const std::string& name) {
  const CLI::Option* option = app.get_option_no_throw(name);
  for (const CLI::App* command : app.get_subcommands({})) {
    if (option == nullptr) option = command->get_option_no_throw(name);
  }
  return option != nullptr && option->get_items_expected_max() > 0;
}

// The arguments with the options that stand before the command word and that
// the program itself does not take moved behind it, each with its value
// ("--no-journal write 25" is "write --no-journal 25"): the options of the
// program and of its command go in any order. One that the command does not
// take either is then refused as the command's.
std::vector<std::string> CommandOptionsAfterCommand(const CLI::App& app,
                                                    std::vector<std::string> args) {
  const auto commands = app.get_subcommands({});
  std::vector<std::string> before;
  std::vector<std::string> moved;
  for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    const std::string& word = args[i];
    if (std::any_of(commands.begin(), commands.end(),
                    [&word](const CLI::App* each) { return each->check_name(word); })) {
      if (moved.empty()) return args;
      before.push_back(word);
      before.insert(before.end(), moved.begin(), moved.end());
      before.insert(before.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      return before;
    }
    const bool option = word.size() > 1 && word[0] == '-';
    const std::string name = word.substr(0, word.find('='));
    const bool commandOnly = option && app.get_option_no_throw(name) == nullptr;
    std::vector<std::string>& into = commandOnly ? moved : before;
    into.push_back(word);
    if (option && name == word && TakesValue(app, name) && i + 1 < args.size()) {
      into.push_back(args[++i]);
    }
  }
  return args;
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
