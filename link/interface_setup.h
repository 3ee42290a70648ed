// One attempt to set up the interface with a register: close whatever is open,
// open the port, optionally scan for the net number, identify the firmware, and
// accept only version code 105.
#pragma once

#include <cstdint>
#include <string>

#include "link/channel.h"
#include "link/net_number.h"

namespace zenor9 {

inline constexpr int32_t kSupportedVersionCode = 105;  // firmware 1.0.5

enum class SetupOutcome {
  Connected,
  PortUnavailable,     // the port could not be opened
  NoAnswerToScan,      // automatic detection found no register
  NoAnswerToIdentify,  // the register did not answer the identify command
  UnsupportedVersion,  // it answered with a version code other than 105
  BadIdentifyReply,    // its identify reply failed the sum test (version code 0)
};

struct SetupRequest {
  std::string device;  // as given to OpenChannelDevice (see ComPortDevice)
  bool autoDetect = true;
  ProbeObserver onProbe = {};  // told of each probe of the scan
  StrayObserver onStray = {};  // told of the stray byte that ended the scan early
};

// Runs the steps in order and stops at the first that fails. `addressByte` is
// used as is when autoDetect is off, and replaced by the scan's find when it is
// on and succeeds. `versionCode` is set whenever the register answered identify.
// After a failure past the open, the port stays open: the next attempt closes it.
SetupOutcome SetUpInterface(SerialChannel& channel, const SetupRequest& request,
                            uint8_t& addressByte, int32_t& versionCode);

}  // namespace zenor9
