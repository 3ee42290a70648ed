#include "cli/options_before_command.h"

#include <algorithm>
#include <cstddef>

namespace zenor9::cli {

namespace {

// Whether `name` takes a value, as the program or, failing that, any command
// knows it.
bool TakesValue(const CLI::App& app, const std::string& name) {
  const CLI::Option* option = app.get_option_no_throw(name);
  for (const CLI::App* command : app.get_subcommands({})) {
    if (option == nullptr) option = command->get_option_no_throw(name);
  }
  return option != nullptr && option->get_items_expected_max() > 0;
}

}  // namespace

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

}  // namespace zenor9::cli
