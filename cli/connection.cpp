#include "cli/connection.h"

#include <array>
#include <cstdio>

#include "cli/console.h"
#include "cli/live_output.h"
#include "cli/port_failure_words.h"
#include "cli/trace_port.h"
#include "link/commands.h"
#include "link/interface_setup.h"
#include "memmap/prefix_cells.h"

namespace zenor9::cli {

namespace {

void FailCommand(Outcome& outcome) {
  Fail(outcome, kExitFailed, "command-failed", Tr(kTextCannotSetUp));
}

// The firmware a version code stands for: its four decimal digits as
// major.minor.patch (105 is 1.0.5); a code of more digits as itself.
std::string FirmwareText(int32_t versionCode) {
  if (versionCode < 0 || versionCode > 9999) return std::to_string(versionCode);
  return std::to_string(versionCode / 100) + "." + std::to_string(versionCode / 10 % 10) + "." +
         std::to_string(versionCode % 10);
}

void FailUnsupportedFirmware(Outcome& outcome, int32_t versionCode) {
  Fail(outcome, kExitUnsupportedFirmware, "unsupported-firmware", Tr(kTextUnsupportedFirmware));
  outcome.messageNote = Tr("(found %s)", FirmwareText(versionCode));
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

// How identify ended, from a set-up that got as far as identify.
IdentifyAnswer AnswerOfSetUp(SetupOutcome result) {
  switch (result) {
    case SetupOutcome::NoAnswerToIdentify:
      return IdentifyAnswer::None;
    case SetupOutcome::BadIdentifyReply:
      return IdentifyAnswer::BadReply;
    default:
      return IdentifyAnswer::Version;
  }
}

// What identify at the connection's address byte said, into the outcome: only
// version code 105 goes on, with the memory map of its firmware.
bool AcceptIdentify(IdentifyAnswer answer, Connection& connection, Outcome& outcome) {
  outcome.net = NetNumberOfAddressByte(connection.addressByte);
  if (answer == IdentifyAnswer::None) {
    FailNoLink(outcome);
    return false;
  }
  if (answer == IdentifyAnswer::BadReply) {
    FailBadReply(outcome);
    return false;
  }
  outcome.version = connection.versionCode;
  if (connection.versionCode != kSupportedVersionCode) {
    FailUnsupportedFirmware(outcome, connection.versionCode);
    return false;
  }
  connection.memoryMap.SelectMemoryMap(VersionLetter(connection.versionCode));
  return true;
}

std::array<uint8_t, 2> CellsOfPrefix(const std::string& value) {
  if (value == "off") return {kPrefixNotUsed, kPrefixNotUsed};
  return {static_cast<uint8_t>(value[0]), static_cast<uint8_t>(value[1])};
}

std::string PrefixOfCells(const std::array<uint8_t, 2>& cells) {
  if (PrefixCellsSayNotUsed(cells[0], cells[1])) return "off";
  return CellText(cells[0]) + CellText(cells[1]);
}

// The register has no roll-back: after a failed write its cells may hold the
// old prefix, the new one, or half of each. Read once what they hold now.
void NoteWhatItHolds(Connection& connection, Outcome& outcome) {
  std::array<uint8_t, 2> cells{};
  if (ReadBothPrefixCells(connection.Register(), cells)) {
    outcome.holds = PrefixOfCells(cells);
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
  outcome.port = target.device;
  if (!autoDetect) connection.addressByte = AddressByteOfNetNumber(*target.net);
  // A byte that ended the scan early may be the late echo of a register's
  // probe: its net number, given with --net, reaches it without the scan.
  const StrayObserver onStray = [&outcome](const ProbeReport& report) {
    if (const std::optional<uint8_t> net = LateEchoOf(report)) outcome.lateEchoOf = *net;
  };
  const SetupOutcome result = SetUpInterface(
      connection.channel, {target.device, autoDetect, ProbeProgressOf(target), onStray},
      connection.addressByte, connection.versionCode);
  if (target.progress) target.progress({});
  if (result == SetupOutcome::PortUnavailable) {
    FailPortUnavailable(connection.channel, outcome);
    return false;
  }
  // A scan or an identify that overlapped a stop is no answer, whatever it got.
  if (CutShortByStop(outcome)) return false;
  if (result == SetupOutcome::NoAnswerToScan) {
    FailNoLink(outcome);
    return false;
  }
  return AcceptIdentify(AnswerOfSetUp(result), connection, outcome);
}

bool OpenPort(const Target& target, Connection& connection, Outcome& outcome) {
  outcome.port = target.device;
  if (OpenChannelDevice(target.device, connection.channel)) return true;
  FailPortUnavailable(connection.channel, outcome);
  return false;
}

bool IdentifyAt(Connection& connection, uint8_t net, Outcome& outcome) {
  connection.addressByte = AddressByteOfNetNumber(net);
  const IdentifyAnswer answer =
      IdentifyRegisterAnswer(connection.channel, connection.addressByte, connection.versionCode);
  if (CutShortByStop(outcome)) return false;
  return AcceptIdentify(answer, connection, outcome);
}

bool ReadPrefix(Connection& connection, Outcome& outcome) {
  const PrefixReading reading = ReadPrefixCells(connection.Register());
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
  std::array<uint8_t, 2> cells{};
  if (!ReadBothPrefixCells(connection.Register(), cells)) {
    if (!CutShortByStop(outcome)) FailCommand(outcome);
    return false;
  }
  outcome.before = PrefixOfCells(cells);
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
  const std::array<uint8_t, 2> cells = CellsOfPrefix(value);
  if (!WritePrefixCells(connection.Register(), cells)) {
    FailCommand(outcome);
    NoteWhatItHolds(connection, outcome);
    return false;
  }
  outcome.prefix = value;
  outcome.text = Tr("%s (was %s)", value, outcome.before.value_or("?"));
  outcome.message = Tr(kTextWriteDone);
  if (!verify) return true;

  std::array<uint8_t, 2> readBack{};
  if (!ReadBothPrefixCells(connection.Register(), readBack)) {
    FailCommand(outcome);
    outcome.holds = nullptr;
    return false;
  }
  if (readBack != cells) {
    outcome.prefix = PrefixOfCells(readBack);
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
