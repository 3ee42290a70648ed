#include "cli/connection.h"

#include <array>
#include <cstdio>

#include "cli/console.h"
#include "cli/live_output.h"
#include "cli/trace_port.h"
#include "diagnosis/open_failure.h"
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

bool ReadCell(Connection& connection, uint16_t cell, uint8_t& value) {
  return ReadRegisterByte(connection.channel, connection.addressByte, cell, value);
}

// Tens cell first, and 0xFF in either cell (the units cell is not read after
// 0xFF in the tens cell) means "off".
bool ReadPrefixText(Connection& connection, std::string& prefix) {
  uint8_t tens = 0;
  if (!ReadCell(connection, connection.memoryMap.PrefixTensCell(), tens)) return false;
  if (tens == kPrefixNotUsed) {
    prefix = "off";
    return true;
  }
  uint8_t units = 0;
  if (!ReadCell(connection, connection.memoryMap.PrefixUnitsCell(), units)) return false;
  prefix = PrefixCellsSayNotUsed(tens, units) ? "off" : CellText(tens) + CellText(units);
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

// After a byte that was not the probe, the rest of what caused it (a late or
// garbled echo) may still be on its way: let it arrive and drop it, so that it
// is not taken for the answer to the next probe. Noise that never ends stops
// the wait after a bounded number of bytes.
void LetTheLineSettle(SerialChannel& channel) {
  constexpr int kMostStrayBytes = 64;
  for (int i = 0; i < kMostStrayBytes && WaitForInput(channel, 1, kProbeWaitMs); ++i) {
    uint8_t stray = 0;
    ReadBytes(channel, &stray, 1);
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

void FailPortUnavailable(const SerialChannel& channel, Outcome& outcome) {
  Fail(outcome, kExitPortUnavailable, "port-unavailable", Tr(kTextPortUnavailable));
  outcome.reason = PortFailureKey(channel.openFailure);
  outcome.reasonText = diag::DescribeOpenFailure(outcome.port.value_or(""), channel.openFailure,
                                                 channel.openFailureDetail);
}

void FailNoLink(Outcome& outcome) {
  Fail(outcome, kExitFailed, "no-link", Tr(kTextNoLink));
}

bool Connect(const Target& target, bool autoDetect, Connection& connection, Outcome& outcome) {
  outcome.port = target.device;
  if (!autoDetect) connection.addressByte = AddressByteOfNetNumber(*target.net);
  ProbeObserver onProbe;
  if (target.progress) onProbe = [&target](int probe) { target.progress(ProbeProgress(probe)); };
  const SetupOutcome result =
      SetUpInterface(connection.channel, {target.device, autoDetect, onProbe},
                     connection.addressByte, connection.versionCode);
  if (target.progress) target.progress({});
  if (result == SetupOutcome::PortUnavailable) {
    FailPortUnavailable(connection.channel, outcome);
    return false;
  }
  if (result == SetupOutcome::NoAnswerToScan) {
    FailNoLink(outcome);
    return false;
  }
  outcome.net = NetNumberOfAddressByte(connection.addressByte);
  if (result == SetupOutcome::NoAnswerToIdentify) {
    FailNoLink(outcome);
    return false;
  }
  outcome.version = connection.versionCode;
  if (result == SetupOutcome::UnsupportedVersion) {
    FailUnsupportedFirmware(outcome, connection.versionCode);
    return false;
  }
  connection.memoryMap.SelectMemoryMap(VersionLetter(connection.versionCode));
  return true;
}

bool OpenPort(const Target& target, Connection& connection, Outcome& outcome) {
  outcome.port = target.device;
  if (OpenChannelDevice(target.device, connection.channel)) return true;
  FailPortUnavailable(connection.channel, outcome);
  return false;
}

bool IdentifyAt(Connection& connection, uint8_t net, Outcome& outcome) {
  outcome.net = net;
  connection.addressByte = AddressByteOfNetNumber(net);
  if (!IdentifyRegister(connection.channel, connection.addressByte, connection.versionCode)) {
    FailNoLink(outcome);
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

bool ReadPrefix(Connection& connection, Outcome& outcome) {
  std::string prefix;
  if (!ReadPrefixText(connection, prefix)) {
    FailCommand(outcome);
    return false;
  }
  outcome.prefix = prefix;
  outcome.text = prefix;
  return true;
}

bool ReadBeforeWrite(Connection& connection, Outcome& outcome) {
  std::array<uint8_t, 2> cells{};
  if (!ReadCell(connection, connection.memoryMap.PrefixTensCell(), cells[0]) ||
      !ReadCell(connection, connection.memoryMap.PrefixUnitsCell(), cells[1])) {
    FailCommand(outcome);
    return false;
  }
  outcome.before = PrefixOfCells(cells);
  return true;
}

bool WritePrefix(Connection& connection, const std::string& value, bool verify, Outcome& outcome) {
  // A stop request waits for the end of the write and of its read-back.
  UninterruptedSection uninterrupted(connection.channel);
  const std::array<uint8_t, 2> cells = CellsOfPrefix(value);
  const uint16_t tensCell = connection.memoryMap.PrefixTensCell();
  const uint16_t unitsCell = connection.memoryMap.PrefixUnitsCell();
  if (!WriteRegisterByte(connection.channel, connection.addressByte, tensCell, cells[0]) ||
      !WriteRegisterByte(connection.channel, connection.addressByte, unitsCell, cells[1])) {
    FailCommand(outcome);
    return false;
  }
  outcome.prefix = value;
  outcome.text = Tr("%s (was %s)", value, outcome.before.value_or("?"));
  outcome.message = Tr(kTextWriteDone);
  if (!verify) return true;

  // Both cells, whatever the first holds: "off" must have reached both.
  std::array<uint8_t, 2> readBack{};
  if (!ReadCell(connection, tensCell, readBack[0]) ||
      !ReadCell(connection, unitsCell, readBack[1])) {
    FailCommand(outcome);
    return false;
  }
  if (readBack != cells) {
    outcome.prefix = PrefixOfCells(readBack);
    outcome.text = Tr("%s (was %s)", *outcome.prefix, outcome.before.value_or("?"));
    Fail(outcome, kExitVerifyMismatch, "verify-mismatch", Tr(kTextVerifyMismatch));
    return false;
  }
  return true;
}

void WalkTheLine(SerialChannel& channel, const std::function<void(int probe)>& onProbe,
                 const std::function<void(const ScanHit& hit)>& onHit) {
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Mark);
  for (uint8_t index = 0; index < kNetNumberCount && !StopRequested(channel); ++index) {
    onProbe(index + 1);
    uint8_t received = 0;
    switch (ProbeAddressByte(channel, ProbeCandidate(index), received)) {
      case ProbeResult::Answered:
        onHit({index, true, 0, std::nullopt});
        SetParityMode(channel, ParityMode::Mark);
        break;
      case ProbeResult::Other:
        onHit({index, false, received, std::nullopt});
        LetTheLineSettle(channel);
        break;
      case ProbeResult::Silent:
        break;
    }
  }
}

std::string ScanHitLine(const ScanHit& hit) {
  if (!hit.answered) return Tr("net %s other byte %s", hit.net, HexText(hit.other));
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
