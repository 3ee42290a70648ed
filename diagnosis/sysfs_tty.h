// Linux only: what sysfs tells of a tty (/sys/class/tty/NAME), for the port
// listing and the checks of doctor alike.
#pragma once

#include <filesystem>
#include <string>

namespace zenor9::diag {

inline const std::filesystem::path kClassTty = "/sys/class/tty";

// The name of the driver bound to the tty ("ftdi_sio"), empty when none is.
std::string TtyDriver(const std::filesystem::path& ttyDir);

// An 8250 port without a UART behind it reports type 0: the name is there, the
// port is not.
bool TtyHasNoUart(const std::filesystem::path& ttyDir);

}  // namespace zenor9::diag
