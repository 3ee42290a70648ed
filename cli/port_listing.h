// Serial ports as sysfs describes them, found without opening any device.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/outcome.h"

namespace zenor9::cli {

struct SerialPortInfo {
  std::string name;                    // ttyS0, ttyUSB0, ttyACM0
  std::string driver;                  // the hardware's driver; empty when unknown
  std::vector<std::string> byIdNames;  // links in /dev/serial/by-id that lead to it
};

// Ports named ttyS*, ttyUSB* and ttyACM* under `classTty` (/sys/class/tty) that
// have a driver; a ttyS* whose UART type is 0 (no UART behind it) is left out.
// `byIdDir` is /dev/serial/by-id. Sorted by kind, then number.
std::vector<SerialPortInfo> ListSerialPorts(const std::filesystem::path& classTty,
                                            const std::filesystem::path& byIdDir);

// The `ports` command: the ports of this machine and what COM1 to COM4 map to.
Outcome PortsCommand();

}  // namespace zenor9::cli
