// Facts about a serial port that the system can tell without talking to the
// register: one interface, one file per platform.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zenor9::diag {

struct ProcessInfo {
  int pid = 0;
  std::string name;              // the program's name, as the system shows it
  bool virtualRegister = false;  // `zenor9 sim`, which keeps its own device open
};

// Whether the device is there (nothing is opened).
bool DevicePresent(const std::string& device);

// False when the device is there and surely no serial port (a file, a folder, a
// FIFO); true when it may be one, or is not there to look at.
bool MayBeSerialPort(const std::string& device);

// Other processes that have the device open (the one behind symbolic links).
// Empty when none is seen, or where the platform does not show it.
std::vector<ProcessInfo> ProcessesHolding(const std::string& device);

// The group whose members may open the device, when this session is not one of
// them; `joinedAfterLogin` when the user was added to it after logging in.
struct MissingGroup {
  std::string name;
  bool joinedAfterLogin = false;
};
std::optional<MissingGroup> GroupThatWouldAllow(const std::string& device);

// Why this user may not open the device, when a group would let them ("the
// device belongs to group dialout, which this user is not in"); else empty.
std::string GroupHint(const std::string& device);

// The name of the driver that serves the device ("ftdi_sio", "serial8250"),
// empty when it has none or the platform does not tell.
std::string DriverOf(const std::string& device);

// A device a USB serial adapter typically is here ("/dev/ttyUSB0", "COM7"),
// for the examples that show how to map one.
const char* TypicalAdapterDevice();

}  // namespace zenor9::diag
