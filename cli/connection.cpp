#include "cli/connection.h"

#include <array>
#include <cstdio>

#include "cli/console.h"
#include "cli/live_output.h"
#include "cli/port_failure_words.h"
#include "cli/trace_port.h"
#include "link/commands.h"
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

// What a set-up or identify ended with, into the outcome: true when the
// register is identified with supported firmware.
bool AcceptSetup(const SetupResult& result, Connection& connection, Outcome& outcome) {
  switch (result.outcome) {
    case SetupOutcome::PortUnavailable:
      FailPortUnavailable(connection.channel, outcome);
      return false;
    case SetupOutcome::Stopped:
      EndByStop(outcome);
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

std::optional<PrefixCells> ReadBothCells(Connection& connection) {
  int retried = 0;
  return ReadBothPrefixCells(connection, {}, retried);
}

// The register has no roll-back: after a failed write its cells may hold the
// old prefix, the new one, or half of each. Read once what they hold now.
void NoteWhatItHolds(Connection& connection, Outcome& outcome) {
  if (const std::optional<PrefixCells> cells = ReadBothCells(connection)) {
    outcome.holds = PrefixOfCells(*cells);
  } else {
    outcome.holds = nullptr;
  }
}

std::string HexText(uint8_t value) {
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", value);
  return hex;
}

}  // namespace

Connection::Connection(bool trace) {
  if (trace) channel.opener = TracingOpener(OpenPlatformPort, stderr);
  channel.stopRequested = UserAskedToStop;
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
  Fail(outcome, kExitPortUnavailable, "port-unavailable", Tr(kTextPortUnavailable));
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

void EndByStop(Outcome& outcome) {
  outcome.interrupted = true;
  if (!outcome.Ok()) return;
  Fail(outcome, StopExitCode(), kErrorInterrupted, Tr("stopped by %s", StopName()));
}

bool Connect(const Target& target, bool autoDetect, Connection& connection, Outcome& outcome) {
  outcome.port = target.port.Device();
  if (!autoDetect) connection.addressByte = AddressByteOfNetNumber(*target.net);
  const SetupResult result =
      SetUpInterface(connection, {target.port, autoDetect, ProbeProgressOf(target)});
  if (target.progress) target.progress({});
  return AcceptSetup(result, connection, outcome);
}

bool OpenPort(const Target& target, Connection& connection, Outcome& outcome) {
  outcome.port = target.port.Device();
  if (OpenChannelDevice(target.port.Device(), connection.channel)) return true;
  FailPortUnavailable(connection.channel, outcome);
  return false;
}

bool IdentifyAt(Connection& connection, uint8_t net, Outcome& outcome) {
  return AcceptSetup(IdentifyRegisterAt(connection, AddressByteOfNetNumber(net)), connection,
                     outcome);
}

bool ReadPrefix(Connection& connection, Outcome& outcome) {
  const PrefixReading reading = ReadPrefixCells(connection);
  if (!reading.Succeeded()) {
    if (!CutShortByStop(outcome)) FailCommand(outcome);
    return false;
  }
  const std::string prefix =
      reading.NotUsed() ? "off" : CellText(reading.tens) + CellText(reading.units);
  outcome.prefix = prefix;
  outcome.text = prefix;
  return true;
}

bool ReadBeforeWrite(Connection& connection, Outcome& outcome) {
  const std::optional<PrefixCells> cells = ReadBothCells(connection);
  if (!cells) {
    if (!CutShortByStop(outcome)) FailCommand(outcome);
    return false;
  }
  outcome.before = PrefixOfCells(*cells);
  return true;
}

bool WritePrefix(Connection& connection, const std::string& value, bool verify, Outcome& outcome) {
  // From here on a stop request waits for the end of the write, of its
  // read-back and of the reading of what a failed write left.
  UninterruptedSection uninterrupted(connection.channel);
  if (UserAskedToStop()) {  // came before the first byte: nothing is written
    EndByStop(outcome);
    return false;
  }
  const PrefixCells cells = CellsOfValue(value);
  if (!WritePrefixCells(connection, cells).Succeeded()) {
    FailCommand(outcome);
    NoteWhatItHolds(connection, outcome);
    return false;
  }
  outcome.prefix = value;
  outcome.text = Tr("%s (was %s)", value, outcome.before.value_or("?"));
  outcome.message = Tr(kTextWriteDone);
  if (!verify) return true;

  const std::optional<PrefixCells> readBack = ReadBothCells(connection);
  if (!readBack) {
    FailCommand(outcome);
    outcome.holds = nullptr;
    return false;
  }
  if (*readBack != cells) {
    outcome.prefix = PrefixOfCells(*readBack);
    outcome.text = Tr("%s (was %s)", *outcome.prefix, outcome.before.value_or("?"));
    outcome.holds = *outcome.prefix;
    Fail(outcome, kExitVerifyMismatch, "verify-mismatch", Tr(kTextVerifyMismatch));
    return false;
  }
  return true;
}

bool WalkTheLine(SerialChannel& channel, const ProbeObserver& onProbe,
                 const std::function<void(ScanHit hit)>& onHit) {
  WalkNetNumbers(channel, onProbe, [&onHit](const ProbeReport& report) {
    if (report.result == ProbeResult::Answered) onHit({report.net, true, 0, std::nullopt});
    if (report.result == ProbeResult::Other) onHit({report.net, false, report.received, {}});
    return true;
  });
  // A probe whose wait the stop cut short may have missed its echo.
  return !StopRequested(channel);
}

std::string ScanHitLine(const ScanHit& hit) {
  if (!hit.answered) return Tr("net %s other byte %s", hit.net, HexText(hit.other));
  if (hit.badReply) return Tr("net %s bad reply to identify", hit.net);
  if (!hit.versionCode) return Tr("net %s no answer to identify", hit.net);
  return Tr("net %s version %s", hit.net, *hit.versionCode);
}

nlohmann::ordered_json ScanHitJson(const ScanHit& hit) {
  nlohmann::ordered_json entry;
  entry["net"] = hit.net;
  if (!hit.answered) {
    entry["other"] = hit.other;
  } else if (hit.versionCode) {
    entry["version"] = *hit.versionCode;
  } else {
    entry["version"] = nullptr;
    if (hit.badReply) entry["error"] = "bad-reply";
  }
  return entry;
}

std::string CellText(uint8_t value) {
  if (value >= 0x20 && value < 0x7F) return std::string(1, static_cast<char>(value));
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
  return escaped;
}

}  // namespace zenor9::cli
