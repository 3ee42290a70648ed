#include "cli/usage_errors.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <vector>

#include "cli/cli11_texts.h"
#include "cli/outcome.h"
#include "cli/report.h"

namespace zenor9::cli {

namespace {

using i18n::Abridged;

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

}  // namespace

std::string Quoted(const std::string& text) {
  return Abridged(text, 40);
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

}  // namespace zenor9::cli
