// The command line of `zenor9`: what the user asked for, parsed with CLI11.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/virtual_register.h"
#include "journal/journal.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

struct Invocation {
  std::string command;            // identify, detect, scan, read, write, ports, sim
  std::string port;               // --port as given, COMn in capitals, or a device path
  portmap::ComTarget portTarget;  // the device it stands for, or why there is none
  std::vector<uint8_t> nets;      // --net, in increasing order; empty: the scan finds one
  bool all = false;               // --all: every register a full scan finds
  bool json = false;
  bool trace = false;
  std::string writeValue;  // write: "20" to "29" or "off"
  bool verify = false;
  std::string mapEntry;   // ports --map: "COM1=/dev/ttyUSB0"
  std::string unmapName;  // ports --unmap: "COM1"
  SimOptions sim;
  bool noJournal = false;         // write --no-journal: this run writes no journal line
  journal::Filter journalFilter;  // journal: which writes to list
};

// Fills `invocation` and returns true when the program has work to do. Otherwise
// the run is over (help shown, or a usage error reported) and `exitCode` says how.
bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode);

// An exit code in a command's help, with what it means for that command: a key
// for Tr(), or the program's general meaning when null.
struct ExitCodeHelp {
  int code;
  const char* meaning = nullptr;
};

// "Exit codes:" and what each of `codes` means, for a command's help; with
// `stoppable`, the codes of the stop signals too.
std::string ExitCodesHelp(const std::vector<ExitCodeHelp>& codes, bool stoppable);

// "com9" as "COM9"; a path as it is.
std::string CanonicalPortName(const std::string& port);

// "COM1" to "COM255" in any case stand for the device the COM map gives, or for
// none with the reason; anything else is a device path.
portmap::ComTarget TargetOfPort(const std::string& port);

}  // namespace zenor9::cli
