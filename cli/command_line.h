// The command line of `zenor9`: what the user asked for, parsed with CLI11.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/virtual_register.h"

namespace zenor9::cli {

struct Invocation {
  std::string command;  // identify, detect, scan, read, write, ports, sim
  std::string device;   // the device that --port stands for
  std::optional<uint8_t> net;
  bool json = false;
  bool trace = false;
  std::string writeValue;  // write: "20" to "29" or "off"
  bool verify = false;
  SimOptions sim;
};

// Fills `invocation` and returns true when the program has work to do. Otherwise
// the run is over (help shown, or a usage error reported) and `exitCode` says how.
bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode);

// "COM1" to "COM4" in any case become ComPortDevice(n); anything else is a path.
std::string DeviceOfPort(const std::string& port);

}  // namespace zenor9::cli
