// Windows: the checks Windows has. The port opens (exclusively, as the program
// opens it), the driver reports mark and space parity, a state with each one
// set reads back the same, and an FTDI adapter's LatencyTimer in the device's
// registry key.
#include <windows.h>
// clang-format off: initguid.h must come first to define the class GUID.
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>
// clang-format on

#include "diagnosis/doctor.h"
#include "link/serial_port.h"
#include "link/win32_names.h"

namespace zenor9::diag {

namespace {

// The bare COM name ("COM3") of a device given as \\.\COM3 or COM3.
std::string ComName(const std::string& device) {
  const std::size_t slash = device.find_last_of('\\');
  return slash == std::string::npos ? device : device.substr(slash + 1);
}

Check ParityCapabilityCheck(HANDLE handle) {
  COMMPROP properties{};
  if (!::GetCommProperties(handle, &properties)) {
    return {"parity capability", false, "GetCommProperties failed", "see open"};
  }
  const WORD both = PARITY_MARK | PARITY_SPACE;
  if ((properties.wSettableStopParity & both) != both) {
    return {"parity capability", false, "the driver does not offer mark and space parity",
            "use an adapter whose driver sends mark and space parity (FTDI, PL2303, CP2102 and "
            "later)"};
  }
  return {"parity capability", true, "the driver offers mark and space parity", {}};
}

Check ParityReadBackCheck(HANDLE handle) {
  DCB original{};
  original.DCBlength = sizeof original;
  if (!::GetCommState(handle, &original)) {
    return {"stick parity", false, "GetCommState failed", "see open"};
  }
  std::string lost;
  for (BYTE parity : {static_cast<BYTE>(MARKPARITY), static_cast<BYTE>(SPACEPARITY)}) {
    DCB wanted = original;
    wanted.fParity = FALSE;
    wanted.Parity = parity;
    DCB back{};
    back.DCBlength = sizeof back;
    if (!::SetCommState(handle, &wanted) || !::GetCommState(handle, &back) ||
        back.Parity != parity) {
      lost += lost.empty() ? "" : " and ";
      lost += parity == MARKPARITY ? "MARK" : "SPACE";
    }
  }
  ::SetCommState(handle, &original);
  if (!lost.empty()) {
    return {"stick parity", false, "the driver does not keep " + lost + " parity",
            "use an adapter whose driver sends mark and space parity"};
  }
  return {"stick parity", true, "MARK and SPACE read back as set", {}};
}

// An FTDI driver keeps LatencyTimer under the device's own registry key.
Check LatencyCheck(const std::string& device) {
  const HDEVINFO set =
      ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return {"latency", true, "no latency timer found", {}};
  const std::string wanted = ComName(device);
  std::optional<DWORD> timer;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0; !timer && ::SetupDiEnumDeviceInfo(set, i, &info); ++i) {
    const HKEY key = ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    char name[64] = {};
    DWORD size = sizeof name - 1;
    DWORD value = 0;
    DWORD valueSize = sizeof value;
    if (::RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name),
                           &size) == ERROR_SUCCESS &&
        _stricmp(name, wanted.c_str()) == 0 &&
        ::RegQueryValueExA(key, "LatencyTimer", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                           &valueSize) == ERROR_SUCCESS) {
      timer = value;
    }
    ::RegCloseKey(key);
  }
  ::SetupDiDestroyDeviceInfoList(set);
  if (!timer) return {"latency", true, "no latency timer in the device's settings", {}};
  Check check{"latency", *timer <= 10, "latency timer " + std::to_string(*timer) + " ms", {}};
  if (!check.ok) {
    check.advice =
        "set Latency Timer to 1 ms (Device Manager, the port's Properties, Port Settings, "
        "Advanced): echoes held longer than 10 ms make the scan miss the register";
  }
  return check;
}

}  // namespace

std::vector<Check> DeviceChecks(const std::string& device, const OpenFailureWords& openFailure,
                                bool& opens) {
  // First as the program opens it: a serial line state, for this program alone.
  PortOpenResult opened = OpenPlatformPort(device);
  opens = opened.port != nullptr;
  if (!opens) {
    return {{"open", false, openFailure(device, opened.failure, opened.detail),
             "check the COM number in Device Manager, and close any program that uses the "
             "port"}};
  }
  opened.port.reset();
  std::vector<Check> checks{{"open", true, "opens for this program alone", {}}};
  const HANDLE handle = ::CreateFileA(Win32DeviceName(device).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    checks.push_back(ParityCapabilityCheck(handle));
    checks.push_back(ParityReadBackCheck(handle));
    ::CloseHandle(handle);
  }
  checks.push_back(LatencyCheck(device));
  return checks;
}

}  // namespace zenor9::diag
