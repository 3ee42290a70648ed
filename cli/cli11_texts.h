// CLI11's own words in the user's language: the headings and labels of the help
// it writes, and the usage errors it reports in English.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zenor9::cli {

// Call on the program before any option or command is added (its commands
// inherit what it sets), and again on each command once added: the help
// flag's text, the headings of the option and command lists, the labels of the
// usage line.
void UseUserLanguage(CLI::App& app);

// A usage error in the user's language: CLI11's own, translated, or for a
// message not known here the kind of the mistake; one of the program's
// validators (already in the user's language) as it is.
std::string UsageErrorText(const CLI::ParseError& error);

}  // namespace zenor9::cli
