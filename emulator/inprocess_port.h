// The in-process host: a serial port connected straight to an emulated line, on
// a virtual clock, so that exchanges run instantly and exactly.
#pragma once

#include <string>
#include <vector>

#include "emulator/line.h"
#include "link/channel.h"

namespace zenor9::emu {

// An opener that connects the devices in `devices` (all devices when the list is
// empty) to `line`, timed by `clock`; any other device fails to open. Use it
// together with the same clock in the channel:
//   channel.clock = &clock; channel.opener = InProcessOpener(line, clock);
PortOpener InProcessOpener(Line& line, VirtualClock& clock, std::vector<std::string> devices = {});

// A channel already set up that way, opened on the line.
void AttachInProcess(SerialChannel& channel, Line& line, VirtualClock& clock);

}  // namespace zenor9::emu
