// The commands that talk to a register: each sets up the interface as the set-up
// dialog does (close, open, optional scan, identify, only version code 105), then
// does its job, and reports what happened in an Outcome.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/outcome.h"

namespace zenor9::cli {

struct Target {
  std::string device;          // the device path to open (COMn already mapped)
  std::optional<uint8_t> net;  // fixed net number; without it the scan finds it
  bool trace = false;          // print every byte on stderr
};

Outcome IdentifyCommand(const Target& target);
// Always scans: the net number found is the result.
Outcome DetectCommand(const Target& target);
// Probes all 100 net numbers, going on after answers, then identifies each
// register that answered.
Outcome ScanCommand(const Target& target);
Outcome ReadCommand(const Target& target);
// `value` must already be valid: "20" to "29" or "off".
Outcome WriteCommand(const Target& target, const std::string& value, bool verify);

// A cell's byte as it is shown: printable ASCII as itself, anything else as \xNN.
std::string CellText(uint8_t value);

}  // namespace zenor9::cli
