// The command line of `zenor9`: what the user asked for, parsed with CLI11.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/connection.h"
#include "cli/virtual_register.h"
#include "journal/journal.h"
#include "operations/port_choice.h"

namespace zenor9::cli {

struct Invocation {
  std::string command;        // identify, detect, scan, read, write, ports, sim
  PortChoice port;            // --port: its name (COMn in capitals) and its device
  std::vector<uint8_t> nets;  // --net, in increasing order; empty: the scan finds one
  bool all = false;           // --all: every register a full scan finds
  bool json = false;
  bool trace = false;
  int retries = kDefaultRetries;  // --retries: further tries of a failed exchange
  WriteRequest write;             // write: the value, --no-verify, --if-different, --check
  std::string label;              // write --label: the shop or line, kept in the journal
  std::string note;               // write --note: a ticket number or the like, kept in the journal
  std::string mapEntry;           // ports --map: "COM1=/dev/ttyUSB0"
  std::string unmapName;          // ports --unmap: "COM1"
  SimOptions sim;
  bool noJournal = false;         // write --no-journal: this run writes no journal line
  journal::Filter journalFilter;  // journal: which writes to list
};

// Fills `invocation` and returns true when the program has work to do. Otherwise
// the run is over (help shown, or a usage error reported) and `exitCode` says how.
bool ParseCommandLine(int argc, const char* const* argv, Invocation& invocation, int& exitCode);

}  // namespace zenor9::cli
