// A command's options given before its word are moved behind it with their
// values, and only those: the program's own options, a value that reads like a
// command word, and everything after "--" stay where they are.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/options_before_command.h"

namespace zenor9::cli {
namespace {

TEST(CliOptionOrderTest, OnlyACommandsOptionsMoveBehindItsWordWithTheirValues) {
  CLI::App app;
  std::string text;
  app.add_option("--port", text);
  CLI::App* write = app.add_subcommand("write");
  write->add_option("--label", text);
  write->add_flag("--no-journal");
  app.add_subcommand("read");
  using Args = std::vector<std::string>;
  const std::vector<std::pair<Args, Args>> cases = {
      {{"--no-journal", "write", "25"}, {"write", "--no-journal", "25"}},
      {{"--port", "COM2", "--label", "shop 1", "write", "25"},
       {"--port", "COM2", "write", "--label", "shop 1", "25"}},
      {{"--label", "read", "write", "25"}, {"write", "--label", "read", "25"}},
      {{"--label=x", "--port=COM2", "write"}, {"--port=COM2", "write", "--label=x"}},
      {{"--unknown", "read", "--label"}, {"read", "--unknown", "--label"}},
      {{"--port", "COM2", "read"}, {"--port", "COM2", "read"}},
      {{"--no-journal", "--", "write"}, {"--no-journal", "--", "write"}},
      {{"--label"}, {"--label"}},
  };
  for (const auto& [given, expected] : cases) {
    EXPECT_EQ(CommandOptionsAfterCommand(app, given), expected) << ::testing::PrintToString(given);
  }
}

}  // namespace
}  // namespace zenor9::cli
