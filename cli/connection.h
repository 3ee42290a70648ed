// The steps the register commands are made of, shared by the commands on one
// register and the runs over several: a connection set up as the set-up dialog
// does it, the prefix read and write on it, and the walk over all net numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/outcome.h"
#include "link/channel.h"
#include "link/net_number.h"
#include "operations/port_choice.h"
#include "operations/session.h"

namespace zenor9::cli {

struct Target {
  PortChoice port;             // the port and the device it stands for
  std::optional<uint8_t> net;  // fixed net number; without it the scan finds it
  bool trace = false;          // print every byte on stderr
  // Shows a progress text while the set-up scans; an empty text erases it.
  std::function<void(const std::string& text)> progress;
};

// The link with one register for one command. Its channel gives up waiting
// once the user asks the program to stop.
struct Connection : Session {
  explicit Connection(bool trace);
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
// Both cells as a write is about to replace them, into outcome.before. A stop
// request cuts this short like any read: nothing is written yet.
bool ReadBeforeWrite(Connection& connection, Outcome& outcome);
// Writes `value` ("20" to "29" or "off") into both cells, uninterrupted, and with
// `verify` reads them back. outcome.prefix is the value written, or on a
// mismatch the value read back; the text says it with the value it replaced,
// read by ReadBeforeWrite ("21 (было 23)"). After a failure outcome.holds says
// what the cells hold. Nothing is written when a stop was requested before it
// began.
bool WritePrefix(Connection& connection, const std::string& value, bool verify, Outcome& outcome);

struct ScanHit {
  uint8_t net;
  bool answered;  // the probe came back; otherwise `other` did
  uint8_t other = 0;
  std::optional<int32_t> versionCode;
  bool badReply = false;  // its reply to identify failed the sum test
};

// Every register that answers a walk over the whole line (all 100 probes, going
// on after answers and stray bytes), told to `onHit` as it comes; `onHit` may use
// the line. `onProbe` learns each probe's number before it goes out. False when
// a stop request cut the walk short.
bool WalkTheLine(SerialChannel& channel, const ProbeObserver& onProbe,
                 const std::function<void(ScanHit hit)>& onHit);

std::string ScanHitLine(const ScanHit& hit);
nlohmann::ordered_json ScanHitJson(const ScanHit& hit);

// A cell's byte as it is shown: printable ASCII as itself, anything else as \xNN.
std::string CellText(uint8_t value);

}  // namespace zenor9::cli
