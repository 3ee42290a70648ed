// zenor9: the prefix jobs of the desktop program for scripts and for lines with
// many registers, plus a virtual register on a pseudo-terminal.
#include <cstdio>

#include "cli/batch_commands.h"
#include "cli/command_line.h"
#include "cli/connection.h"
#include "cli/console.h"
#include "cli/doctor_command.h"
#include "cli/journal_command.h"
#include "cli/live_output.h"
#include "cli/next_step.h"
#include "cli/platform.h"
#include "cli/port_listing.h"
#include "cli/port_map_command.h"
#include "cli/program.h"
#include "cli/register_commands.h"
#include "cli/report.h"
#include "cli/virtual_register.h"
#include "cli/write_journal.h"

namespace {

using namespace zenor9::cli;

RegisterJob JobOf(const std::string& command) {
  if (command == "read") return RegisterJob::Read;
  if (command == "write") return RegisterJob::Write;
  return RegisterJob::Identify;
}

// The journal's line for one register's write, with what the run knows of it.
WriteRecorder JournalOf(const Invocation& invocation) {
  return [&invocation](const Outcome& write) {
    return RecordWriteInJournal(invocation, FactsOfWrite(write, UserAskedToStop()));
  };
}

Outcome RunCommand(const Invocation& invocation, LiveOutput& live) {
  const std::string& device = invocation.port.Device();
  if (!invocation.port.HasDevice() && invocation.command != "ports") {
    Outcome outcome = PortWithoutDevice(invocation.port.name, invocation.port.target);
    if (invocation.command == "write") {
      Outcome recorded = outcome;
      if (invocation.nets.size() == 1) recorded.net = invocation.nets.front();
      outcome.warning = JournalOf(invocation)(recorded);
    }
    return outcome;
  }
  Target target{invocation.port,
                std::nullopt,
                invocation.trace,
                invocation.retries,
                [&live](const std::string& text) { live.Progress(text); },
                {}};
  if (invocation.command == "write") target.recordWrite = JournalOf(invocation);
  if (invocation.all || invocation.nets.size() > 1) {
    const BatchRequest request{JobOf(invocation.command), invocation.nets, invocation.all,
                               invocation.writeValue, invocation.verify};
    return BatchCommand(target, request, live);
  }
  if (!invocation.nets.empty()) target.net = invocation.nets.front();
  if (invocation.command == "doctor")
    return DoctorCommand(invocation.port.name, device, target.net, target.retries);
  if (invocation.command == "identify") return IdentifyCommand(target);
  if (invocation.command == "detect") return DetectCommand(target);
  if (invocation.command == "scan") return ScanCommand(target, live);
  if (invocation.command == "read") return ReadCommand(target);
  if (invocation.command == "write") {
    return WriteCommand(target, invocation.writeValue, invocation.verify);
  }
  if (!invocation.mapEntry.empty()) return MapComCommand(invocation.mapEntry);
  if (!invocation.unmapName.empty()) return UnmapComCommand(invocation.unmapName);
  return PortsCommand();
}

}  // namespace

namespace zenor9::cli {

int RunProgram(int argc, const char* const* argv) {
  PrepareConsole();
  zenor9::i18n::UseLanguage(zenor9::i18n::UserLanguage());
  if (ExplainedToADoubleClick(argc)) return kExitUsage;
  Invocation invocation;
  int exitCode = kExitOk;
  if (!ParseCommandLine(argc, argv, invocation, exitCode)) return exitCode;
  if (invocation.command == "sim") return RunVirtualRegister(invocation.sim);
  if (invocation.command == "journal") return JournalCommand(invocation);

  CatchStopRequests();
  // The trace writes whole lines on stderr: a progress line would garble it.
  LiveOutput live(invocation.json, !invocation.trace && IsTerminal(stderr));
  Outcome outcome = RunCommand(invocation, live);
  live.EndProgress();
  // Each step has already said whether the stop ended the work; a stop that
  // came while a write was finishing leaves that write's own result.
  if (UserAskedToStop()) outcome.interrupted = true;
  AddNextStep(invocation, outcome);
  return Report(outcome, invocation.json);
}

}  // namespace zenor9::cli
