// The paragraphs of zenor9's help that are more than an option's line: what
// each command does beyond its options, the exit codes and their meanings, the
// version notice and the virtual register's faults.
#pragma once

#include <string>
#include <vector>

#include "cli/outcome.h"

namespace zenor9::cli {

// An exit code in a command's help, with what it means for that command: a key
// for Tr(), or the program's general meaning when null.
struct ExitCodeHelp {
  int code;
  const char* meaning = nullptr;
};

// "Exit codes:" and what each of `codes` means, for a command's help; with
// `stoppable`, the codes of the stop signals too.
std::string ExitCodesHelp(const std::vector<ExitCodeHelp>& codes, bool stoppable);

// Which exit codes a command can give, in its own terms where they differ from
// the program's: every command that talks to a register can be stopped.
struct ExitCodes {
  std::vector<ExitCodeHelp> codes;
  bool stoppable = true;
};

// A command's footer: `more` first when given, then its exit codes and what
// COMn stands for.
std::string Footer(const ExitCodes& exits, const std::string& more = {});

// Exit code 2 of write, and of the program, which may be write.
inline constexpr const char* kUsageOrSeveral =
    N_("usage error (nothing was sent); or read or write found several registers (none was "
       "read or written)");

// What --version prints.
std::string VersionText();

// The paragraphs of each help that says more than its options do.
const char* SeveralRegistersHelp();
const char* RetriesHelp();
const char* DefaultsHelp();
const char* ReadHelp();
const char* WriteHelp();
const char* PortMapHelp();
std::string DoctorHelp();
std::string SimHelp();

}  // namespace zenor9::cli
