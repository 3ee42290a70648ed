// `zenor9 ports` on Windows: the serial ports the system has registered, with
// their friendly names, and what COM1 to COM4 stand for. Opens no port.
#include <windows.h>
// clang-format off: initguid.h must come first to define the class GUID.
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "cli/port_listing.h"
#include "cli/port_map_command.h"

namespace zenor9::cli {

namespace {

struct RegisteredPort {
  std::string name;          // COM3
  std::string kernelDevice;  // \Device\Serial0
  std::string friendlyName;  // empty when SetupAPI does not know the port
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
  return result;
}

// A registry string value, without the terminating NULs it may or may not carry.
std::wstring StringValue(const wchar_t* data, DWORD bytes) {
  std::wstring value(data, bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: one value per port, the kernel device as
// its name and the COM name as its data.
std::vector<RegisteredPort> SerialCommPorts() {
  std::vector<RegisteredPort> ports;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    wchar_t data[256];
    DWORD nameLength = 256;
    DWORD dataBytes = sizeof data;
    DWORD type = 0;
    const LONG result = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &dataBytes);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    ports.push_back({Utf8(StringValue(data, dataBytes)), Utf8(std::wstring(name, nameLength)), {}});
  }
  ::RegCloseKey(key);
  return ports;
}

std::wstring DevicePortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
  HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t data[256];
  DWORD bytes = sizeof data;
  DWORD type = 0;
  std::wstring name;
  if (::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    name = StringValue(data, bytes);
  }
  ::RegCloseKey(key);
  return name;
}

// COM name -> friendly name ("USB Serial Port (COM5)") of the present devices of
// the Ports class, as Device Manager shows them.
std::map<std::string, std::string> FriendlyNames() {
  std::map<std::string, std::string> names;
  HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    wchar_t friendly[256];
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                             reinterpret_cast<BYTE*>(friendly), sizeof friendly,
                                             nullptr)) {
      continue;
    }
    const std::wstring portName = DevicePortName(set, device);
    if (!portName.empty()) names[Utf8(portName)] = Utf8(friendly);
  }
  ::SetupDiDestroyDeviceInfoList(set);
  return names;
}

unsigned ComNumber(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return 0;
  unsigned number = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

// COM2 before COM10; names that are not COMn after them, by name.
bool PortOrder(const RegisteredPort& a, const RegisteredPort& b) {
  const unsigned first = ComNumber(a.name);
  const unsigned second = ComNumber(b.name);
  if ((first == 0) != (second == 0)) return second == 0;
  return first != second ? first < second : a.name < b.name;
}

std::string PortLine(const RegisteredPort& port) {
  std::string line = port.name + "  " + port.kernelDevice;
  if (!port.friendlyName.empty()) line += "  " + port.friendlyName;
  return line;
}

nlohmann::ordered_json PortJson(const RegisteredPort& port) {
  nlohmann::ordered_json entry;
  entry["device"] = "\\\\.\\" + port.name;
  entry["name"] = port.name;
  entry["kernel-device"] = port.kernelDevice;
  entry["friendly-name"] = port.friendlyName;
  return entry;
}

}  // namespace

Outcome PortsCommand() {
  std::vector<RegisteredPort> ports = SerialCommPorts();
  const std::map<std::string, std::string> friendly = FriendlyNames();
  for (RegisteredPort& port : ports) {
    if (const auto found = friendly.find(port.name); found != friendly.end()) {
      port.friendlyName = found->second;
    }
  }
  std::sort(ports.begin(), ports.end(), PortOrder);

  Outcome outcome;
  outcome.ports = nlohmann::ordered_json::array();
  outcome.text = std::string(Tr("Serial ports of this computer:")) + '\n';
  for (const RegisteredPort& port : ports) {
    outcome.ports->push_back(PortJson(port));
    outcome.text += PortLine(port) + '\n';
  }
  if (ports.empty()) outcome.text += std::string(Tr("none found")) + '\n';
  outcome.text += '\n' + std::string(Tr("What COM1 and up stand for:")) + '\n';
  AddComMap(outcome);
  return outcome;
}

}  // namespace zenor9::cli
