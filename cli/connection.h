// The steps the register commands are made of, shared by the commands on one
// register and the runs over several: a connection set up as the set-up dialog
// does it, the prefix read and write on it, each exchange tried again as often
// as the user allows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cli/outcome.h"
#include "link/channel.h"
#include "link/net_number.h"
#include "operations/exchange.h"
#include "operations/port_choice.h"
#include "operations/session.h"

namespace zenor9::cli {

// Further tries of a failed identify, read or write when --retries is not given.
inline constexpr int kDefaultRetries = 3;
inline constexpr int kMostRetries = 10;

// Records one register's write, once it has ended, in the journal; returns the
// warning to show when the journal could not take it.
using WriteRecorder = std::function<std::optional<std::string>(const Outcome& write)>;

struct Target {
  PortChoice port;             // the port and the device it stands for
  std::optional<uint8_t> net;  // fixed net number; without it the scan finds it
  bool trace = false;          // print every byte, and every retry, on stderr
  int retries = kDefaultRetries;
  // Shows a progress text while the set-up scans; an empty text erases it.
  std::function<void(const std::string& text)> progress;
  WriteRecorder recordWrite;  // none: writes are not recorded
};

// What a write asks for, besides the register.
struct WriteRequest {
  std::string value;         // "20" to "29" or "off"
  bool verify = true;        // read both cells back
  bool ifDifferent = false;  // a register that already holds the value is not written
  bool check = false;        // read only, and say what a write would change
};

// The link with one register for one command. Its channel gives up waiting
// once the user asks the program to stop.
struct Connection : Session {
  explicit Connection(const Target& target);

  std::string device;     // what the port stands for, as the messages name it
  ExchangePolicy policy;  // the target's retries; tells the trace of each
  int retried = 0;        // identify, read and write exchanges tried again so far
};

// While it lives, a stop request neither cuts the channel's waits short nor
// interrupts a system call: the two cells of a prefix write, and what is read
// after them, are all done, so that no register is left holding half of a
// prefix without the user learning of it.
class UninterruptedSection {
 public:
  explicit UninterruptedSection(SerialChannel& channel);
  ~UninterruptedSection();
  UninterruptedSection(const UninterruptedSection&) = delete;
  UninterruptedSection& operator=(const UninterruptedSection&) = delete;

 private:
  SerialChannel& channel_;
  StopCheck check_;
};

// Tells the target's progress display of each probe of a scan; nothing without one.
ProbeObserver ProbeProgressOf(const Target& target);

// The program's message, and the device with the reason it did not open.
void FailPortUnavailable(const SerialChannel& channel, Outcome& outcome);
// The same for `port` (COMn) when the COM map gives it no device: nothing is
// opened, and the reason names the map or its line.
Outcome PortWithoutDevice(const std::string& port, const portmap::ComTarget& target);
void FailNoLink(Outcome& outcome);
// The port went away in the middle of the work: the device vanished, or the
// server of a remote line closed the connection.
void FailPortLost(const std::string& device, Outcome& outcome);
// A stop request ended the work before its end. The outcome says so, unless it
// already holds a failure of its own, which a stop never hides.
void EndByStop(Outcome& outcome);

// One whole set-up attempt: close, open, scan when `autoDetect`, identify, only
// version code 105. True when connected; otherwise `outcome` holds the failure.
bool Connect(const Target& target, bool autoDetect, Connection& connection, Outcome& outcome);
// Opens the port alone, for the commands that address the registers themselves.
bool OpenPort(const Target& target, Connection& connection, Outcome& outcome);
// The set-up of one register on an open port: identify at `net`, only version
// code 105, and the memory map of its firmware.
bool IdentifyAt(Connection& connection, uint8_t net, Outcome& outcome);

// The prefix as the register holds it, into outcome.prefix (the text too).
bool ReadPrefix(Connection& connection, Outcome& outcome);
// Writes the request's value into the identified register: both cells are read
// first (outcome.before, null when they cannot be read: the write goes ahead),
// then written uninterrupted, and, with `verify`, read back. Success only when
// the register acknowledged both cells and, with `verify`, holds them. After a
// failure outcome.holds says what the cells hold, and a mismatch names both
// values. Nothing is written when a stop was requested before the write began,
// nor with `ifDifferent` or `check` to a register that already holds the
// value; with `check` nothing at all. outcome.written and outcome.changed say
// what came of it.
bool WriteOnRegister(Connection& connection, const WriteRequest& request, Outcome& outcome);

// A cell's byte as it is shown: printable ASCII as itself, anything else as \xNN.
std::string CellText(uint8_t value);
// A byte on the wire as the trace shows it: "5A".
std::string HexText(uint8_t value);

}  // namespace zenor9::cli
