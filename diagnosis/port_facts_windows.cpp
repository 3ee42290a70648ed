// Windows shows neither the holder of a port nor a group that would open it, and
// the driver of a COM port only through the device installer.
#include <windows.h>

#include "diagnosis/port_facts.h"

namespace zenor9::diag {

bool DevicePresent(const std::string& device) {
  // COM names live in the DOS device namespace, not in the file system.
  const std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
  char target[512];
  if (::QueryDosDeviceA(name.c_str(), target, sizeof target) != 0) return true;
  return ::GetFileAttributesA(device.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<ProcessInfo> ProcessesHolding(const std::string&) {
  return {};
}

std::optional<MissingGroup> GroupThatWouldAllow(const std::string&) {
  return std::nullopt;
}

std::string GroupHint(const std::string&) {
  return {};
}

std::string DriverOf(const std::string&) {
  return {};
}

}  // namespace zenor9::diag
