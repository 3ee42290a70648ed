// The port a user names, and what it stands for: COMn (any spelling, 1 to 255)
// through the environment, the COM map and the platform's default; anything
// else is a device given by itself (a path). The one place where a name
// becomes a device, for both programs.
#pragma once

#include <string>

#include "portmap/com_map.h"

namespace zenor9 {

struct PortChoice {
  std::string name;           // "COM3" for any spelling of it; otherwise as given
  int comNumber = 0;          // n for COMn; 0 for a device given by itself
  portmap::ComTarget target;  // the device to open, or why the map gives none

  const std::string& Device() const { return target.device; }
  bool HasDevice() const { return target.fault == portmap::MapFault::None; }
};

PortChoice ChoosePort(const std::string& given);
PortChoice ChooseComPort(int number);

}  // namespace zenor9
