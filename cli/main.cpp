// zenor9: the prefix jobs of the desktop program for scripts and for lines with
// many registers, plus a virtual register on a pseudo-terminal.
#include "cli/command_line.h"
#include "cli/platform.h"
#include "cli/port_listing.h"
#include "cli/register_commands.h"
#include "cli/report.h"
#include "cli/virtual_register.h"

namespace {

using namespace zenor9::cli;

Outcome RunCommand(const Invocation& invocation) {
  const Target target{invocation.device, invocation.net, invocation.trace};
  if (invocation.command == "identify") return IdentifyCommand(target);
  if (invocation.command == "detect") return DetectCommand(target);
  if (invocation.command == "scan") return ScanCommand(target);
  if (invocation.command == "read") return ReadCommand(target);
  if (invocation.command == "write") {
    return WriteCommand(target, invocation.writeValue, invocation.verify);
  }
  return PortsCommand();
}

}  // namespace

int main(int argc, char** argv) {
  PrepareConsole();
  Invocation invocation;
  int exitCode = kExitOk;
  if (!ParseCommandLine(argc, argv, invocation, exitCode)) return exitCode;
  if (invocation.command == "sim") return RunVirtualRegister(invocation.sim);
  return Report(RunCommand(invocation), invocation.json);
}
