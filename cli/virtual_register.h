// `zenor9 sim`: emulated registers served on a pseudo-terminal until SIGINT,
// SIGTERM or SIGHUP.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "emulator/register_model.h"

namespace zenor9::cli {

struct SimOptions {
  std::vector<int> nets{0};             // one register per net number
  std::string prefix = "23";            // "20" to "29" or "off", for every register
  std::map<int, std::string> prefixOf;  // the prefix of a register that holds its own
  uint8_t versionHigh = 0x01;           // the two version bytes: 01 05 is firmware 1.0.5
  uint8_t versionLow = 0x05;
  std::vector<emu::Fault> faults;  // switched on in every register
  uint32_t randomPercent = 0;      // exchanges spoiled by a random fault, per cent
  uint32_t seed = 1;               // the draw of the random faults
  std::string linkPath;            // a symbolic link to the device, when not empty
  bool trace = false;
  uint32_t latencyMs = 0;  // a USB adapter's latency timer between line and program
};

// The prefix the register at `net` starts with.
std::string PrefixAt(const SimOptions& options, int net);

// Parses four hex digits ("0105") into the two version bytes.
bool ParseVersionBytes(const std::string& text, uint8_t& high, uint8_t& low);

// Serves the registers; prints the device path as the first line on stdout.
// Returns the exit code.
int RunVirtualRegister(const SimOptions& options);

}  // namespace zenor9::cli
