// Linux only: what sysfs tells of a tty (/sys/class/tty/NAME), for the port
// listing and the checks of doctor alike.
#pragma once

#include <filesystem>
#include <string>

namespace zenor9::diag {

inline const std::filesystem::path kClassTty = "/sys/class/tty";

// Whether a driver is bound to the tty's device at all.
bool TtyHasDriver(const std::filesystem::path& ttyDir);

// The name of the driver of the hardware behind the tty ("ftdi_sio",
// "serial8250"), empty when none can be told. Since Linux 6.3 a UART's tty
// hangs off the serial core's own devices (bus serial-base, drivers "port" and
// "ctrl"), which say nothing of the hardware: the device above them does.
std::string TtyDriver(const std::filesystem::path& ttyDir);

// An 8250 port without a UART behind it reports type 0: the name is there, the
// port is not.
bool TtyHasNoUart(const std::filesystem::path& ttyDir);

}  // namespace zenor9::diag
