// One line about what COMn stands for, as the set-up dialog's tool tips show it.
#pragma once

#include <string>

namespace zenor9::diag {

// "COM1: /dev/ttyUSB0 (ftdi_sio)"; for a missing device "COM2: /dev/ttyS1 (no
// such device)" and a second line with the command that maps an adapter to
// COM2; the device alone when it is there but no driver is known (a
// pseudo-terminal), or why the COM map gives the port no device ("COM3: the
// COM map ... cannot be read: ..."); in the language in use.
std::string ComPortSummary(int number);

}  // namespace zenor9::diag
