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
#include "cli/run_summary.h"
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
// A register that already held the value got no write, and leaves no line.
WriteRecorder JournalOf(const Invocation& invocation) {
  return [&invocation](const Outcome& write) -> std::optional<std::string> {
    if (write.Ok() && !write.written.value_or(false)) return std::nullopt;
    return RecordWriteInJournal(invocation, FactsOfWrite(write, UserAskedToStop()));
  };
}

// Whether the command is the run over several registers of a line.
bool RunsOverSeveral(const Invocation& invocation) {
  return invocation.all || invocation.nets.size() > 1;
}

// --check writes nothing, so its run is no write to record.
bool Journaled(const Invocation& invocation) {
  return invocation.command == "write" && !invocation.write.check;
}

// read and write are summed up; a write over several registers says the sum
// after its register lines too.
void SumUp(const Invocation& invocation, Outcome& outcome, LiveOutput& live) {
  if (invocation.command != "read" && invocation.command != "write") return;
  const bool writing = invocation.command == "write";
  const bool several = RunsOverSeveral(invocation);
  outcome.check = writing && invocation.write.check;
  // A write on one register that failed before its write says so too.
  if (writing && !several) outcome.written = outcome.written.value_or(false);
  Summarize(outcome, several);
  if (several && writing && outcome.registers && !outcome.registers->empty()) {
    live.Line(SummaryLine(outcome));
  }
}

Outcome RunCommand(const Invocation& invocation, LiveOutput& live) {
  const std::string& device = invocation.port.Device();
  if (!invocation.port.HasDevice() && invocation.command != "ports") {
    Outcome outcome = PortWithoutDevice(invocation.port.name, invocation.port.target);
    if (Journaled(invocation)) {
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
  if (Journaled(invocation)) target.recordWrite = JournalOf(invocation);
  if (RunsOverSeveral(invocation)) {
    const BatchRequest request{JobOf(invocation.command), invocation.nets, invocation.all,
                               invocation.write};
    return BatchCommand(target, request, live);
  }
  if (!invocation.nets.empty()) target.net = invocation.nets.front();
  if (invocation.command == "doctor")
    return DoctorCommand(invocation.port.name, device, target.net, target.retries);
  if (invocation.command == "identify") return IdentifyCommand(target);
  if (invocation.command == "detect") return DetectCommand(target);
  if (invocation.command == "scan") return ScanCommand(target, live);
  if (invocation.command == "read") return ReadCommand(target);
  if (invocation.command == "write") return WriteCommand(target, invocation.write);
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
  SumUp(invocation, outcome, live);
  live.EndProgress();
  // Each step has already said whether the stop ended the work; a stop that
  // came while a write was finishing leaves that write's own result.
  if (UserAskedToStop()) outcome.interrupted = true;
  AddNextStep(invocation, outcome);
  return Report(outcome, invocation.json);
}

}  // namespace zenor9::cli
