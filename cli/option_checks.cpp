#include "cli/option_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <regex>

#include "cli/connection.h"
#include "cli/remote_line.h"
#include "cli/usage_errors.h"
#include "cli/virtual_register.h"
#include "journal/journal.h"
#include "link/rfc2217_port.h"
#include "memmap/prefix_cells.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

namespace {

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

bool IsComName(const std::string& port) {
  static const std::regex pattern("[cC][oO][mM][0-9]+");
  return std::regex_match(port, pattern);
}

bool IsDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The words for "no local barcode": off in any case, as COM1 is, and the
// Russian word; each becomes "off".
bool IsOffWord(const std::string& value) {
  std::string lower = value;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "off" || value == "выкл" || value == "Выкл" || value == "ВЫКЛ";
}

// A label or note for the journal: one line of UTF-8 text, short enough for a
// listing to show whole.
constexpr std::size_t kMostJournalTextCharacters = 200;

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
}  // namespace

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

std::size_t Given(const CLI::App& app, const CLI::App& command, const std::string& name) {
  const CLI::Option* own = command.get_option_no_throw(name);
  return app.count(name) + (own != nullptr ? own->count() : 0);
}

void CheckChoices(const CLI::App& app, const std::vector<int>& nets,
                  const std::vector<int>& simNets, const std::vector<std::string>& simPrefixes) {
  const CLI::App& chosen = *app.get_subcommands().front();
  const std::string command = chosen.get_name();
  if (command == "sim") {
    RefuseMainOptionsForSim(app);
    RefuseDuplicateNets(simNets);
    CheckSimPrefixes(simPrefixes, simNets);
  }
  RefuseNetsWhereNoneApply(app, chosen);
  RefuseRetriesWhereNoneApply(app, chosen);
  RefuseOptionsTogether(chosen);
  RefuseDuplicateNets(nets);
  if (command == "doctor" && nets.size() > 1) {
    throw CLI::ValidationError("--net", Tr("doctor looks at one register"));
  }
}

}  // namespace zenor9::cli
