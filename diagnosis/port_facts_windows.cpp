// Windows shows neither the holder of a port nor a group that would open it, and
// the driver of a COM port only through the device installer.
#include <windows.h>

#include "diagnosis/port_facts.h"
#include "link/win32_names.h"
#include "link/win32_text.h"

namespace zenor9::diag {

namespace {

// COM names live in the DOS device namespace, not in the file system: whether
// the name leads to a device there (\\.\COM3, or COM3 as the port opener takes it).
bool IsDosDevice(const std::string& device) {
  const std::string name = Win32DeviceName(device);
  const std::string prefix = "\\\\.\\";
  if (name.rfind(prefix, 0) != 0) return false;
  wchar_t target[1024];
  return ::QueryDosDeviceW(Wide(name.substr(prefix.size())).c_str(), target, 1024) != 0;
}

// The names are UTF-8: the wide call takes every character of them.
DWORD AttributesOf(const std::string& device) {
  return ::GetFileAttributesW(Wide(device).c_str());
}

}  // namespace

bool DevicePresent(const std::string& device) {
  return IsDosDevice(device) || AttributesOf(device) != INVALID_FILE_ATTRIBUTES;
}

bool MayBeSerialPort(const std::string& device) {
  return IsDosDevice(device) || AttributesOf(device) == INVALID_FILE_ATTRIBUTES;
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

// Windows numbers adapters from COM3 up, after the ports it has had before.
const char* TypicalAdapterDevice() {
  return "COM7";
}

}  // namespace zenor9::diag
