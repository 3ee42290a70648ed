#include "cli/register_commands.h"

#include <array>
#include <cstdio>
#include <vector>

#include "cli/trace_port.h"
#include "link/commands.h"
#include "link/interface_setup.h"
#include "link/net_number.h"
#include "memmap/prefix_cells.h"
#include "memmap/ram_list.h"

namespace zenor9::cli {

namespace {

// The state the set-up dialog leaves behind for the prefix operations.
struct Connection {
  SerialChannel channel;
  uint8_t addressByte = kInitialAddressByte;
  int32_t versionCode = 0;
  MemoryMap memoryMap;

  explicit Connection(bool trace) {
    if (trace) channel.opener = TracingOpener(OpenPlatformPort, stderr);
  }
  ~Connection() { CloseChannel(channel); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
};

void FailPortUnavailable(Outcome& outcome) {
  Fail(outcome, kExitPortUnavailable, "port-unavailable", kTextPortUnavailable);
}

void FailNoLink(Outcome& outcome) {
  Fail(outcome, kExitFailed, "no-link", kTextNoLink);
}

void FailCommand(Outcome& outcome) {
  Fail(outcome, kExitFailed, "command-failed", kTextCannotSetUp);
}

// One set-up attempt. True when connected; otherwise `outcome` holds the failure.
bool Connect(const Target& target, bool autoDetect, Connection& connection, Outcome& outcome) {
  outcome.port = target.device;
  if (!autoDetect) connection.addressByte = AddressByteOfNetNumber(*target.net);
  const SetupOutcome result = SetUpInterface(connection.channel, {target.device, autoDetect},
                                             connection.addressByte, connection.versionCode);
  if (result == SetupOutcome::PortUnavailable) {
    FailPortUnavailable(outcome);
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
    Fail(outcome, kExitUnsupportedFirmware, "unsupported-firmware", kTextUnsupportedFirmware);
    return false;
  }
  connection.memoryMap.SelectMemoryMap(VersionLetter(connection.versionCode));
  return true;
}

bool Connect(const Target& target, Connection& connection, Outcome& outcome) {
  return Connect(target, !target.net.has_value(), connection, outcome);
}

bool ReadCell(Connection& connection, uint16_t cell, uint8_t& value) {
  return ReadRegisterByte(connection.channel, connection.addressByte, cell, value);
}

// The prefix as the register holds it: tens cell first, and 0xFF in either cell
// (the units cell is not read after 0xFF in the tens cell) means "off".
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

struct ScanHit {
  uint8_t net;
  bool answered;  // the probe came back; otherwise `other` did
  uint8_t other = 0;
  std::optional<int32_t> versionCode;
};

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

std::vector<ScanHit> ProbeEveryNetNumber(SerialChannel& channel) {
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Mark);
  std::vector<ScanHit> hits;
  for (uint8_t index = 0; index < kNetNumberCount; ++index) {
    uint8_t received = 0;
    switch (ProbeAddressByte(channel, ProbeCandidate(index), received)) {
      case ProbeResult::Answered:
        hits.push_back({index, true, 0, std::nullopt});
        break;
      case ProbeResult::Other:
        hits.push_back({index, false, received, std::nullopt});
        LetTheLineSettle(channel);
        break;
      case ProbeResult::Silent:
        break;
    }
  }
  return hits;
}

std::string HexText(uint8_t value) {
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", value);
  return hex;
}

std::string ScanHitLine(const ScanHit& hit) {
  std::string line = "net " + std::to_string(hit.net);
  if (!hit.answered) return line + " other byte " + HexText(hit.other);
  if (!hit.versionCode) return line + " no answer to identify";
  return line + " version " + std::to_string(*hit.versionCode);
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

}  // namespace

std::string CellText(uint8_t value) {
  if (value >= 0x20 && value < 0x7F) return std::string(1, static_cast<char>(value));
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
  return escaped;
}

Outcome IdentifyCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!Connect(target, connection, outcome)) return outcome;
  outcome.text =
      "net " + std::to_string(*outcome.net) + " version " + std::to_string(*outcome.version);
  return outcome;
}

Outcome DetectCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!Connect(target, true, connection, outcome)) return outcome;
  outcome.text = std::to_string(*outcome.net);
  return outcome;
}

Outcome ScanCommand(const Target& target) {
  Outcome outcome;
  outcome.port = target.device;
  Connection connection(target.trace);
  if (!OpenChannelDevice(target.device, connection.channel)) {
    FailPortUnavailable(outcome);
    return outcome;
  }
  std::vector<ScanHit> hits = ProbeEveryNetNumber(connection.channel);
  bool anyAnswered = false;
  outcome.registers = nlohmann::ordered_json::array();
  for (ScanHit& hit : hits) {
    if (hit.answered) {
      anyAnswered = true;
      int32_t versionCode = 0;
      if (IdentifyRegister(connection.channel, AddressByteOfNetNumber(hit.net), versionCode)) {
        hit.versionCode = versionCode;
      }
    }
    outcome.registers->push_back(ScanHitJson(hit));
    if (!outcome.text.empty()) outcome.text += '\n';
    outcome.text += ScanHitLine(hit);
  }
  if (!anyAnswered) FailNoLink(outcome);
  return outcome;
}

Outcome ReadCommand(const Target& target) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!Connect(target, connection, outcome)) return outcome;
  std::string prefix;
  if (!ReadPrefixText(connection, prefix)) {
    FailCommand(outcome);
    return outcome;
  }
  outcome.prefix = prefix;
  outcome.text = prefix;
  return outcome;
}

Outcome WriteCommand(const Target& target, const std::string& value, bool verify) {
  Outcome outcome;
  Connection connection(target.trace);
  if (!Connect(target, connection, outcome)) return outcome;
  const std::array<uint8_t, 2> cells = CellsOfPrefix(value);
  const uint16_t tensCell = connection.memoryMap.PrefixTensCell();
  const uint16_t unitsCell = connection.memoryMap.PrefixUnitsCell();
  if (!WriteRegisterByte(connection.channel, connection.addressByte, tensCell, cells[0]) ||
      !WriteRegisterByte(connection.channel, connection.addressByte, unitsCell, cells[1])) {
    FailCommand(outcome);
    return outcome;
  }
  outcome.prefix = value;
  outcome.text = value;
  outcome.message = kTextWriteDone;
  if (!verify) return outcome;

  // Both cells, whatever the first holds: "off" must have reached both.
  std::array<uint8_t, 2> readBack{};
  if (!ReadCell(connection, tensCell, readBack[0]) ||
      !ReadCell(connection, unitsCell, readBack[1])) {
    FailCommand(outcome);
    return outcome;
  }
  if (readBack != cells) {
    outcome.prefix = PrefixOfCells(readBack);
    outcome.text = *outcome.prefix;
    Fail(outcome, kExitVerifyMismatch, "verify-mismatch", kTextVerifyMismatch);
  }
  return outcome;
}

}  // namespace zenor9::cli
