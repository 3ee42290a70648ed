// zenor9 takes a command's options before its command word too ("--no-journal
// write 25"), which CLI11 alone would refuse as the program's own.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace zenor9::cli {

// The arguments with the options that stand before the command word and that
// the program itself does not take moved behind it, each with its value
// ("--no-journal write 25" is "write --no-journal 25"): the options of the
// program and of its command go in any order. One that the command does not
// take either is then refused as the command's.
std::vector<std::string> CommandOptionsAfterCommand(const CLI::App& app,
                                                    std::vector<std::string> args);

}  // namespace zenor9::cli
