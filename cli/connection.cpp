#include "cli/connection.h"

#include <cstdio>

#include "cli/console.h"
#include "cli/live_output.h"
#include "cli/port_failure_words.h"
#include "cli/report.h"
#include "cli/trace_port.h"
#include "link/commands.h"
#include "link/rfc2217_port.h"
#include "memmap/prefix_cells.h"
#include "operations/messages.h"
#include "operations/prefix.h"
#include "operations/setup.h"

namespace zenor9::cli {

namespace {

void FailCommand(Outcome& outcome) {
  Fail(outcome, kExitFailed, "command-failed", Tr(kTextNoInterface));
}

// Later firmware is no better than earlier: the prefix cells are known for
// 1.0.5 alone.
void FailUnsupportedFirmware(Outcome& outcome, int32_t versionCode) {
  Fail(outcome, kExitUnsupportedFirmware, "unsupported-firmware",
       Tr("Only firmware 1.0.5 is supported (found %s)", FirmwareText(versionCode)));
}

// The register answered, but what came back is no version: not firmware 0.0.0.
void FailBadReply(Outcome& outcome) {
  Fail(outcome, kExitFailed, "bad-reply", Tr(kTextNoLink));
  outcome.messageNote =
      Tr("(the reply to identify failed its check sum: noise on the line, or two registers "
         "with one net number)");
}

// A step with waits failed or ended while a stop request was pending: the stop
// cut it short, so what it found says nothing of the register.
bool CutShortByStop(Outcome& outcome) {
  if (!UserAskedToStop()) return false;
  EndByStop(outcome);
  return true;
}

// A port that did not open while a stop was pending: the stop may have cut a
// remote line's connect or negotiation short, and is what the run ends with.
void FailOpen(const SerialChannel& channel, Outcome& outcome) {
  if (!CutShortByStop(outcome)) FailPortUnavailable(channel, outcome);
}

// What a set-up or identify ended with, into the outcome: true when the
// register is identified with supported firmware.
bool AcceptSetup(const SetupResult& result, Connection& connection, Outcome& outcome) {
  switch (result.outcome) {
    case SetupOutcome::PortUnavailable:
      FailOpen(connection.channel, outcome);
      return false;
    case SetupOutcome::Stopped:
      EndByStop(outcome);
      return false;
    case SetupOutcome::PortLost:
      FailPortLost(connection.device, outcome);
      return false;
    case SetupOutcome::NoAnswerToScan:
      // A byte that ended the scan early may be the late echo of a register's
      // probe: its net number, given with --net, reaches it without the scan.
      if (result.stray) {
        if (const std::optional<uint8_t> net = LateEchoOf(*result.stray)) outcome.lateEchoOf = *net;
      }
      FailNoLink(outcome);
      return false;
    default:
      break;
  }
  outcome.net = NetNumberOfAddressByte(connection.addressByte);
  switch (result.outcome) {
    case SetupOutcome::NoAnswerToIdentify:
      FailNoLink(outcome);
      return false;
    case SetupOutcome::BadIdentifyReply:
      FailBadReply(outcome);
      return false;
    case SetupOutcome::UnsupportedVersion:
      outcome.version = connection.versionCode;
      FailUnsupportedFirmware(outcome, connection.versionCode);
      return false;
    default:
      outcome.version = connection.versionCode;
      return true;
  }
}

PrefixCells CellsOfValue(const std::string& value) {
  return value == "off" ? kCellsNotUsed : *CellsOfPrefix(value);
}

std::string PrefixOfCells(const PrefixCells& cells) {
  if (PrefixCellsSayNotUsed(cells)) return "off";
  return CellText(cells[0]) + CellText(cells[1]);
}

nlohmann::ordered_json PrefixOrNull(const PrefixReading& cells) {
  return cells.Succeeded() ? nlohmann::ordered_json(PrefixOfCells(cells.Cells())) : nullptr;
}

// Both cells as the write is about to replace them: a write that cannot learn
// the old value still goes ahead. False when a stop request cut the reading
// short or the port went away: nothing is written then.
bool NoteWhatItReplaces(Connection& connection, Outcome& outcome) {
  const PrefixReading cells = ReadBothPrefixCells(connection, connection.policy);
  if (!cells.Succeeded() && CutShortByStop(outcome)) return false;
  if (cells.portLost) {
    FailPortLost(connection.device, outcome);
    return false;
  }
  outcome.before = PrefixOrNull(cells);
  return true;
}

// The cells as they are after the write, into outcome.holds: the prefix text,
// "off", or null when they could not be read.
PrefixReading NoteWhatItHolds(Connection& connection, Outcome& outcome) {
  const PrefixReading cells = ReadBothPrefixCells(connection, connection.policy);
  outcome.readBack = true;
  outcome.holds = PrefixOrNull(cells);
  return cells;
}

// A cell read or write failed in all its tries: the port went away, or the
// register did not answer as it should.
void FailCellStep(const Connection& connection, bool portLost, Outcome& outcome) {
  if (portLost) {
    FailPortLost(connection.device, outcome);
  } else {
    FailCommand(outcome);
  }
}

std::string WasText(const Outcome& outcome) {
  return outcome.before && outcome.before->is_string()
             ? ShownPrefix(outcome.before->get<std::string>())
             : "?";
}

void SucceedWrite(const std::string& value, bool verified, Outcome& outcome) {
  outcome.prefix = value;
  outcome.verified = verified;
  outcome.text = Tr(verified ? N_("%s (was %s; read back)") : N_("%s (was %s; not read back)"),
                    ShownPrefix(value), WasText(outcome));
  outcome.message = Tr(kTextWriteDone);
}

// The register acknowledged both cells and keeps something else (a register
// that ignores writes, or a twin on the same net number): a failure that names
// both values, with nothing on stdout that reads like a result.
void FailMismatch(const std::string& value, const std::string& holds, Outcome& outcome) {
  Fail(outcome, kExitVerifyMismatch, "verify-mismatch",
       std::string(Tr(kTextVerifyMismatch)) + ": " +
           Tr("wrote %s, the register holds %s", ShownPrefix(value), ShownPrefix(holds)));
}

// The two cells written, uninterrupted, and read back with `verify`.
bool WriteBothCells(Connection& connection, const std::string& value, bool verify,
                    Outcome& outcome) {
  // From here on a stop request waits for the end of the write, of its
  // read-back and of the reading of what a failed write left.
  UninterruptedSection uninterrupted(connection.channel);
  if (UserAskedToStop()) {  // came before the first byte: nothing is written
    EndByStop(outcome);
    return false;
  }
  const PrefixCells cells = CellsOfValue(value);
  outcome.written = true;
  const PrefixWriting writing = WritePrefixCells(connection, cells, connection.policy);
  if (!writing.Succeeded()) {
    FailCellStep(connection, writing.portLost, outcome);
    // The register has no roll-back: its cells may hold the old prefix, the
    // new one, or half of each.
    NoteWhatItHolds(connection, outcome);
    return false;
  }
  if (!verify) {
    SucceedWrite(value, false, outcome);
    return true;
  }
  const PrefixReading readBack = NoteWhatItHolds(connection, outcome);
  if (!readBack.Succeeded()) {
    FailCellStep(connection, readBack.portLost, outcome);
    if (!readBack.portLost) {
      outcome.messageNote = Tr("(the register acknowledged the write; reading it back failed)");
    }
    return false;
  }
  if (readBack.Cells() != cells) {
    FailMismatch(value, PrefixOfCells(readBack.Cells()), outcome);
    return false;
  }
  SucceedWrite(value, true, outcome);
  return true;
}

// Whether the register holds something other than before the write, as far as
// the run knows: a value before or after that could not be read counts as a
// change, since it may be one.
bool ChangedByWrite(const Outcome& outcome) {
  if (!outcome.written.value_or(false)) return false;
  nlohmann::ordered_json after = nullptr;
  if (outcome.readBack) {
    after = outcome.holds.value_or(nullptr);
  } else if (outcome.Ok()) {
    after = *outcome.asked;  // acknowledged, not read back
  }
  const nlohmann::ordered_json before = outcome.before.value_or(nullptr);
  return !before.is_string() || !after.is_string() || before != after;
}

// A register that already holds the value: nothing to write.
void SucceedAlready(const std::string& value, Outcome& outcome) {
  outcome.prefix = value;
  outcome.text = Tr("%s (already)", ShownPrefix(value));
}

// --check: what a write would do, the register left as it is. Cells that could
// not be read leave the answer open: a write would go ahead.
bool SayWhatAWriteWouldDo(const std::string& value, Outcome& outcome) {
  outcome.changed = true;
  if (!outcome.before->is_string()) {
    FailCommand(outcome);
    outcome.messageNote = Tr("(the cells could not be read; nothing was written)");
    return false;
  }
  const std::string before = outcome.before->get<std::string>();
  outcome.prefix = before;
  outcome.text = Tr("%s -> %s (would be written)", ShownPrefix(before), ShownPrefix(value));
  return true;
}

const char* ExchangeName(Exchange exchange) {
  switch (exchange) {
    case Exchange::Identify:
      return Tr("identify");
    case Exchange::ReadCell:
      return Tr("cell read");
    case Exchange::WriteCell:
      return Tr("cell write");
    case Exchange::Probe:
      return Tr("probe");
  }
  return "";
}

}  // namespace

Connection::Connection(const Target& target) : device(target.port.Device()) {
  if (target.trace) channel.opener = TracingOpener(OpenPlatformPort, stderr);
  channel.stopRequested = UserAskedToStop;
  policy.retries = target.retries;
  const int tries = 1 + target.retries;
  const bool trace = target.trace;
  policy.onRetry = [this, tries, trace](const RetryNote& note) {
    // A probe tried again tells a register from noise; it is no exchange of a register's.
    if (note.exchange != Exchange::Probe) ++retried;
    if (!trace) return;
    std::fprintf(stderr, "# %s\n",
                 Tr("retry: %s, %s, try %s of %s", ExchangeName(note.exchange),
                    RegisterName(NetNumberOfAddressByte(note.addressByte)), note.attempt, tries)
                     .c_str());
  };
}

UninterruptedSection::UninterruptedSection(SerialChannel& channel)
    : channel_(channel), check_(std::move(channel.stopRequested)) {
  HoldStopRequests();
  channel_.stopRequested = nullptr;
}

UninterruptedSection::~UninterruptedSection() {
  channel_.stopRequested = std::move(check_);
  ReleaseStopRequests();
}

ProbeObserver ProbeProgressOf(const Target& target) {
  if (!target.progress) return {};
  return [&target](int probe) { target.progress(ProbeProgress(probe)); };
}

void FailPortUnavailable(const SerialChannel& channel, Outcome& outcome) {
  // A COM port's words would send the user to a cable for a network server.
  const bool remote = IsRemoteDevice(outcome.port.value_or(""));
  Fail(outcome, kExitPortUnavailable, "port-unavailable",
       remote ? Tr("The remote line is unavailable") : Tr(kTextPortUnavailable));
  outcome.reason = PortFailureKey(channel.openFailure);
  outcome.reasonText = DescribeOpenFailure(outcome.port.value_or(""), channel.openFailure,
                                           channel.openFailureDetail);
}

Outcome PortWithoutDevice(const std::string& port, const portmap::ComTarget& target) {
  Outcome outcome;
  outcome.port = port;
  Fail(outcome, kExitPortUnavailable, "port-unavailable", Tr(kTextPortUnavailable));
  outcome.reason = MapFaultKey(target.fault);
  outcome.reasonText = target.problem;
  return outcome;
}

void FailNoLink(Outcome& outcome) {
  Fail(outcome, kExitFailed, "no-link", Tr(kTextNoLink));
}

void FailPortLost(const std::string& device, Outcome& outcome) {
  Fail(outcome, kExitFailed, kErrorPortLost,
       IsRemoteDevice(device)
           ? Tr("the connection to %s was lost: the server closed it or the network failed", device)
           : Tr("the port %s went away: the adapter was unplugged or the device closed", device));
}

void EndByStop(Outcome& outcome) {
  outcome.interrupted = true;
  if (!outcome.Ok()) return;
  Fail(outcome, StopExitCode(), kErrorInterrupted, Tr("stopped by %s", StopName()));
}

bool Connect(const Target& target, bool autoDetect, Connection& connection, Outcome& outcome) {
  outcome.port = target.port.Device();
  if (!autoDetect) connection.addressByte = AddressByteOfNetNumber(*target.net);
  const SetupResult result = SetUpInterface(
      connection, {target.port, autoDetect, ProbeProgressOf(target), connection.policy});
  if (target.progress) target.progress({});
  return AcceptSetup(result, connection, outcome);
}

bool OpenPort(const Target& target, Connection& connection, Outcome& outcome) {
  outcome.port = target.port.Device();
  if (OpenChannelDevice(target.port.Device(), connection.channel)) return true;
  FailOpen(connection.channel, outcome);
  return false;
}

bool IdentifyAt(Connection& connection, uint8_t net, Outcome& outcome) {
  return AcceptSetup(IdentifyRegisterAt(connection, AddressByteOfNetNumber(net), connection.policy),
                     connection, outcome);
}

bool ReadPrefix(Connection& connection, Outcome& outcome) {
  const PrefixReading reading = ReadPrefixCells(connection, connection.policy);
  if (!reading.Succeeded()) {
    if (!CutShortByStop(outcome)) FailCellStep(connection, reading.portLost, outcome);
    return false;
  }
  const std::string prefix =
      reading.NotUsed() ? "off" : CellText(reading.tens) + CellText(reading.units);
  outcome.prefix = prefix;
  outcome.text = ShownPrefix(prefix);
  return true;
}

bool WriteOnRegister(Connection& connection, const WriteRequest& request, Outcome& outcome) {
  outcome.asked = request.value;
  outcome.written = false;
  outcome.changed = false;
  if (!NoteWhatItReplaces(connection, outcome)) return false;
  if ((request.ifDifferent || request.check) && *outcome.before == request.value) {
    SucceedAlready(request.value, outcome);
    return true;
  }
  if (request.check) return SayWhatAWriteWouldDo(request.value, outcome);
  const bool done = WriteBothCells(connection, request.value, request.verify, outcome);
  outcome.changed = ChangedByWrite(outcome);
  return done;
}

std::string CellText(uint8_t value) {
  if (value >= 0x20 && value < 0x7F) return std::string(1, static_cast<char>(value));
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
  return escaped;
}

std::string HexText(uint8_t value) {
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", value);
  return hex;
}

}  // namespace zenor9::cli
