// zenor9's usage errors: what CLI11 refused, said in the user's language with
// the help command to read, or as JSON with --json; an unknown command or
// option named as such, with the nearest one when it looks like a slip of the
// keyboard.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zenor9::cli {

// Usage messages quote what the user gave, but not kilobytes of it.
std::string Quoted(const std::string& text);

// Reports what ended the parse of `argv` (help, the version or a usage error)
// and returns the exit code.
int ReportParseError(CLI::App& app, const CLI::ParseError& error, int argc,
                     const char* const* argv);

}  // namespace zenor9::cli
