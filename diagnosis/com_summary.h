// One line about what COMn stands for, as the set-up dialog's tool tips show it.
#pragma once

#include <string>

namespace zenor9::diag {

// "COM1: /dev/ttyUSB0 (ftdi_sio)", "COM2: /dev/ttyS1 (no such device)", or the
// device alone when it is there but no driver is known (a pseudo-terminal); in
// the language in use.
std::string ComPortSummary(int number);

}  // namespace zenor9::diag
