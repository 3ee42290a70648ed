// The interface set-up: close whatever is open, open the chosen port, find the
// net number when asked, identify the firmware, accept only version code 105,
// and take the memory map of that firmware. Each way it can end is an outcome;
// the programs turn outcomes into their own words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/net_number.h"
#include "operations/exchange.h"
#include "operations/port_choice.h"
#include "operations/session.h"

namespace zenor9 {

inline constexpr int32_t kSupportedVersionCode = 105;  // firmware 1.0.5

// The one firmware the prefix cells are known for.
constexpr bool IsSupportedVersion(int32_t versionCode) {
  return versionCode == kSupportedVersionCode;
}

// The firmware a version code stands for: its four decimal digits as
// major.minor.patch (105 is 1.0.5); a code of more digits as itself.
std::string FirmwareText(int32_t versionCode);

enum class SetupOutcome {
  Connected,
  PortUnavailable,     // no device for the name, or it did not open
  NoAnswerToScan,      // automatic detection found no register (`stray` when a byte ended it)
  NoAnswerToIdentify,  // no echo or no acknowledgement of identify
  BadIdentifyReply,    // acknowledged, but the reply failed its sum test
  UnsupportedVersion,  // a version code other than 105
  Stopped,             // a stop request cut the scan or identify short
  PortLost,            // the port went away during the scan or identify
};

struct SetupRequest {
  PortChoice port;
  bool autoDetect = true;
  ProbeObserver onProbe = {};  // told of each probe of the scan
  ExchangePolicy policy = {};  // how often identify is tried
};

struct SetupResult {
  SetupOutcome outcome = SetupOutcome::Connected;
  std::optional<ProbeReport> stray;  // the probe whose stray byte ended the scan
  int retries = 0;                   // identify tried again this many times

  bool Connected() const { return outcome == SetupOutcome::Connected; }
};

// One whole attempt, in order, stopping at the first step that fails. Without
// automatic detection the session's address byte is used as it is. On success
// the session's register is identified and its memory map selected. After a
// failure past the open the port stays open (the next attempt closes it), and
// no register is identified.
SetupResult SetUpInterface(Session& session, const SetupRequest& request);

// Identify the register at `addressByte` on the session's open channel, with
// the same version rule and memory map; the address byte becomes the one in use.
SetupResult IdentifyRegisterAt(Session& session, uint8_t addressByte,
                               const ExchangePolicy& policy = {});

}  // namespace zenor9
