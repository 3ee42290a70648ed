// The checks of `zenor9 doctor`: what stands between the user and the register
// on one port, each found without writing to the register or changing a system
// setting (the port is opened as the program opens it).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "i18n/text.h"
#include "link/channel.h"
#include "operations/exchange.h"

namespace zenor9::diag {

using i18n::N_;
using i18n::Tr;

struct Check {
  std::string name;  // "device", "permission", "open", ...: a key for scripts, and
                     // for people through Tr()
  bool ok = true;
  std::string detail;  // what was found
  std::string advice;  // what to do; empty when nothing is needed
  // A stop request cut the check short: it failed without finding anything.
  bool stopped = false;
};

// How a serial driver treats stick parity (the ninth bit as MARK or SPACE).
enum class StickParity {
  Carried,          // sent as asked
  Dropped,          // refused: CMSPAR is cleared in the settings it keeps
  IgnoredSilently,  // accepted in the settings but not sent as asked
  Unknown,
};

struct DriverVerdict {
  StickParity stickParity;
  const char* note;  // why, in a few words; a key for Tr()
};

// From the table of serial drivers kept in the code; Unknown for others.
DriverVerdict VerdictOfDriver(const std::string& driver);

// The words for a port that did not open, with what more is known (the holder,
// the group): the program that reports the checks gives them.
using OpenFailureWords = std::function<std::string(const std::string& device, PortFailure failure,
                                                   const OpenFailureDetail& detail)>;

// The platform's checks of the device itself: kind, permission, open and
// exclusive use, services that take serial ports, stick parity, latency.
// `port` is the name the user gave it ("COM9", or the path), for advice in
// the user's own terms. `opens` is set when the port opened, so that the line
// can be tried.
std::vector<Check> DeviceChecks(const std::string& port, const std::string& device,
                                const OpenFailureWords& openFailure, bool& opens);

// The checks of a remote line (rfc2217://HOST:PORT) in place of the device's:
// its address, the server reached, telnet with COM-PORT-OPTION spoken, MARK
// and SPACE accepted, and the round trip, each failure in `openFailure`'s
// words. `opens` is set when the line is ready for the register checks. Once
// `stopRequested` says so, the connect and the negotiation end, and the check
// they were in says it was stopped.
std::vector<Check> RemoteLineChecks(const std::string& device, const OpenFailureWords& openFailure,
                                    bool& opens, const StopCheck& stopRequested = {});

// A check that a stop request cut short; `before` is what the stop came
// before, a key for Tr().
Check StoppedCheck(const std::string& name, const char* before);

// A register on the line: identify the one at `net`, or the one register that
// a survey of the whole line finds, judged as a read or write without a net
// number judges it and with the same retries (`policy`); then time the echo of
// its address byte over `probes` probes against the scan's wait (10 ms, and
// the round trip on a remote line). Once `stopRequested` says so, the waits end
// and no further probe goes out.
std::vector<Check> RegisterChecks(const std::string& device, std::optional<uint8_t> net,
                                  const ExchangePolicy& policy, int probes = 20,
                                  const StopCheck& stopRequested = {});

}  // namespace zenor9::diag
