#include "cli/help_texts.h"

#include <cstdio>
#include <map>

#include "cli/outcome.h"
#include "cli/platform.h"
#include "cli/platform_help.h"
#include "emulator/register_model.h"

namespace zenor9::cli {

namespace {

const char* LicenceNotice() {
  return Tr("Free software under the MIT licence: you may use, copy, change and pass it on.");
}

// What each exit code means, as --help says it, unless a command says it in its
// own terms.
const char* ExitCodeMeaning(int code) {
  static const std::map<int, const char*> meanings = {
      {kExitOk, N_("success")},
      {kExitFailed, N_("no link with the register, or the command failed")},
      {kExitUsage, N_("usage error (nothing was sent)")},
      {kExitPortUnavailable,
       N_("port unavailable (missing, held by another program, or no device in the COM map)")},
      {kExitUnsupportedFirmware,
       N_("firmware not supported (only version code 105, firmware 1.0.5)")},
      {kExitVerifyMismatch, N_("write read back other values than it wrote")},
  };
  return Tr(meanings.at(code));
}

// Names joined by commas, on indented lines of at most 80 characters.
std::string IndentedList(const std::vector<std::string>& names) {
  std::string text = "  ";
  std::size_t lineLength = 2;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string item = names[i] + (i + 1 < names.size() ? "," : ".");
    if (i > 0 && lineLength + 1 + item.size() > 80) {
      text += "\n  ";
      lineLength = 2;
    } else if (i > 0) {
      text += " ";
      ++lineLength;
    }
    text += item;
    lineLength += item.size();
  }
  return text;
}

std::string FaultNames(const std::vector<emu::Fault>& faults) {
  std::vector<std::string> names;
  for (emu::Fault fault : faults) names.push_back(emu::FaultName(fault));
  return IndentedList(names);
}

}  // namespace

std::string ExitCodesHelp(const std::vector<ExitCodeHelp>& codes, bool stoppable) {
  std::vector<ExitCodeHelp> all = codes;
  if (stoppable) {
    for (const ExitCodeHelp& code : StopExitCodes()) all.push_back(code);
  }
  std::string help = Tr("Exit codes:");
  for (const ExitCodeHelp& code : all) {
    char number[16];
    std::snprintf(number, sizeof number, "\n  %3d  ", code.code);
    help += number;
    help += code.meaning != nullptr ? Tr(code.meaning) : ExitCodeMeaning(code.code);
  }
  return help;
}

std::string Footer(const ExitCodes& exits, const std::string& more) {
  std::string footer = ExitCodesHelp(exits.codes, exits.stoppable) + "\n\n" + ComPortsHelp();
  if (!more.empty()) footer = more + "\n\n" + footer;
  return footer;
}

std::string VersionText() {
  return std::string("zenor9 ") + ZENOR9_VERSION +
         "\nCopyright (c) 2026 zenor9-prefix developers.\n" + LicenceNotice();
}

const char* SeveralRegistersHelp() {
  return Tr(R"(With --net 3,7,12 (or --net 3 --net 7 --net 12) or --all each register gets
its own set-up and command, one line each in net-number order as soon as it is
done ("register 7: 25", "register 9: error: ..."); the exit code is that of the
first register that failed. --all lists an address where something answered,
but not as a register does, as a failed register with what came back. A run
that is stopped, or whose port goes away, lists the registers it did not reach.
A list of net numbers is addressed directly, without a scan.)");
}

const char* RetriesHelp() {
  return Tr(R"text(An identify, read or write that fails (no echo, a wrong echo, no
acknowledgement, a reply cut short or failing its check sum) is tried again
once nothing of its answer can still come (at most a second after it was
sent, and the round trip on a remote line), up to --retries times (3 unless
given; 0 tries each once); writing a cell again is harmless. A scan's probes
are not tried again, but an address where a stray byte came back is probed
again to tell a register from noise. --trace shows each retry; the JSON counts
them per register ("retries").)text");
}

const char* DefaultsHelp() {
  return Tr(R"text(A write reads both cells back and is done only when the register holds what
was written (exit code 5 otherwise; --no-verify leaves the read-back out). A
failed identify, read or write is tried again up to 3 times (--retries). Every
write, done or failed, leaves a line in the journal (zenor9 journal;
--no-journal leaves a run out).)text");
}

const char* ReadHelp() {
  return Tr(R"text(Without --net, read probes the whole line first: it reads only when exactly
one register answers, and names it ("register 3: 25"); when several answer it
reads none, names them and exits with 2.)text");
}

const char* WriteHelp() {
  return Tr(R"text(Both cells are read first, for the value the write replaces ("was ?" when
they cannot be read: the write goes ahead). After writing, both cells are read
back: the write is done only when the register holds what was written ("27
(was 23; read back)"); a register that holds something else ends the run with
exit code 5 and "wrote 27, the register holds 23". --no-verify leaves the
read-back out. After a failed write both cells are read once and their
content is said: "the register now holds: 27" (JSON "holds").

Without --net, write probes the whole line first: it writes only when exactly
one register answers, and names it ("register 3: 25 (was 23; read back)");
when several answer it writes nothing, names them and exits with 2.

--if-different writes only a register that holds something other than VALUE
("25 (already)"); --check reads only and says what a write would change ("27
-> 25 (would be written)"), writing nothing. A write over several registers
ends with a line that sums it up.

Every write, done or failed, leaves a line in the journal (zenor9 journal
--help), with --label and --note when given; a register that --if-different
or --check leaves unwritten leaves none. --no-journal leaves this run out.)text");
}

const char* PortMapHelp() {
  return Tr(R"(COMn stands for the device in the environment variable ZENOR9_COMn when it
is set, else for the one in the map file (lines COMn=PATH; # at the start of a
line or after a blank starts a comment), else for the platform's default. A
map that cannot be read, or a COMn whose only line in it is ignored, leaves
COMn without a device (exit code 3), never the default. --map rewrites the
file in one step under a lock and keeps its other lines; --map and --unmap go
one at a time.)");
}

std::string DoctorHelp() {
  return Tr(R"(Checks in order, a line each (%s or %s, what was found, what to do): the device
and its kind, permission, opening it for this program alone, services that
take serial ports, stick parity (set, read back, the driver's known habits),
the adapter's latency, and a register on the line: without --net the whole
line scanned and judged as read and write judge it (several registers, or an
answer that is no register's, named), identify with the same retries, and
the time of about 20 echoes of its address byte against the scan's 10 ms
wait. Only address probes and identify go to the register.)",
            CheckMark(true), CheckMark(false));
}

std::string SimHelp() {
  return Tr(R"(Prints the device path as its first line on stdout. Without --net it serves
one register at net number 0.

--fault switches a fault on for every exchange:
%s
late-reply answers 800 ms late; late answers %s to %s ms late, drawn anew
for each exchange.
--random-faults P spoils P per cent of the exchanges, each with one of
%s
The draw comes from --seed (the same seed, the same draw).)",
            FaultNames(emu::AllFaults()), emu::kLateMinMs, emu::kLateMaxMs,
            FaultNames(emu::SpoiledAnswerFaults()));
}

}  // namespace zenor9::cli
