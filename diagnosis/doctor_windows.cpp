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
#include "link/win32_text.h"
#include "portmap/com_map.h"

namespace zenor9::diag {

using i18n::JoinedWithAnd;

namespace {

// The bare COM name ("COM3") of a device given as \\.\COM3 or COM3.
std::string ComName(const std::string& device) {
  const std::size_t slash = device.find_last_of('\\');
  return slash == std::string::npos ? device : device.substr(slash + 1);
}

const char* AdapterAdvice() {
  return Tr(
      "use an adapter whose driver sends mark and space parity (FTDI, PL2303, CP2102 and "
      "later)");
}

Check ParityCapabilityCheck(HANDLE handle) {
  COMMPROP properties{};
  if (!::GetCommProperties(handle, &properties)) {
    return {N_("parity capability"), false, Tr("GetCommProperties failed"), Tr("see open")};
  }
  const WORD both = PARITY_MARK | PARITY_SPACE;
  if ((properties.wSettableStopParity & both) != both) {
    return {N_("parity capability"), false, Tr("the driver does not offer mark and space parity"),
            AdapterAdvice()};
  }
  return {N_("parity capability"), true, Tr("the driver offers mark and space parity"), {}};
}

// The serial driver's line control (IOCTL_SERIAL_GET_LINE_CONTROL of ntddser.h,
// whose header MinGW cannot include alone): what GetCommState's Parity is made of.
constexpr DWORD kGetLineControl =
    CTL_CODE(FILE_DEVICE_SERIAL_PORT, 21, METHOD_BUFFERED, FILE_ANY_ACCESS);
struct LineControl {
  UCHAR stopBits;
  UCHAR parity;
  UCHAR wordLength;
};

// A value no driver reports: a Windows driver always fills in the parity, while
// Wine leaves it as it was when the device's settings name no parity mode of
// Windows (a pseudo-terminal keeps no parity bit), where GetCommState would
// report whatever its own memory held.
constexpr UCHAR kNotReported = 0xEE;

enum class ReadBack { Kept, Lost, NotReported };

ReadBack ParityReadBack(HANDLE handle, BYTE parity) {
  LineControl control{kNotReported, kNotReported, kNotReported};
  DWORD bytes = 0;
  if (::DeviceIoControl(handle, kGetLineControl, nullptr, 0, &control, sizeof control, &bytes,
                        nullptr)) {
    if (control.parity == kNotReported) return ReadBack::NotReported;
    return control.parity == parity ? ReadBack::Kept : ReadBack::Lost;
  }
  DCB back{};
  back.DCBlength = sizeof back;
  return ::GetCommState(handle, &back) && back.Parity == parity ? ReadBack::Kept : ReadBack::Lost;
}

const char* ParityName(BYTE parity) {
  return parity == MARKPARITY ? "MARK" : "SPACE";
}

Check ParityReadBackCheck(HANDLE handle) {
  DCB original{};
  original.DCBlength = sizeof original;
  if (!::GetCommState(handle, &original)) {
    return {N_("stick parity"), false, Tr("GetCommState failed"), Tr("see open")};
  }
  std::vector<std::string> lost;
  bool reported = true;
  for (BYTE parity : {static_cast<BYTE>(MARKPARITY), static_cast<BYTE>(SPACEPARITY)}) {
    DCB wanted = original;
    wanted.fParity = FALSE;
    wanted.Parity = parity;
    // Only the state read back counts: under Wine on a pseudo-terminal the C
    // library reports a parity that the terminal does not keep as an error
    // (ERROR_INVALID_PARAMETER) whenever nothing else changed.
    ::SetCommState(handle, &wanted);
    const ReadBack back = ParityReadBack(handle, parity);
    if (back == ReadBack::Lost) lost.push_back(ParityName(parity));
    if (back == ReadBack::NotReported) reported = false;
  }
  ::SetCommState(handle, &original);
  if (!lost.empty()) {
    return {N_("stick parity"), false,
            Tr("the driver does not keep %s parity", JoinedWithAnd(lost)), AdapterAdvice()};
  }
  if (!reported) {
    return {N_("stick parity"),
            true,
            Tr("MARK and SPACE accepted; the port reports no parity back, as Wine does for a "
               "device without a parity bit (a pseudo-terminal): the register's answer tells "
               "(see register)"),
            {}};
  }
  return {N_("stick parity"), true, Tr("MARK and SPACE read back as set"), {}};
}

// An FTDI driver keeps LatencyTimer under the device's own registry key.
Check LatencyCheck(const std::string& device) {
  const HDEVINFO set =
      ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return {N_("latency"), true, Tr("no latency timer found"), {}};
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
  if (!timer) return {N_("latency"), true, Tr("no latency timer in the device's settings"), {}};
  Check check{N_("latency"), *timer <= 10, Tr("latency timer %s ms", *timer), {}};
  if (!check.ok) {
    check.advice =
        Tr("set Latency Timer to 1 ms (Device Manager, the port's Properties, Port Settings, "
           "Advanced): echoes held longer than 10 ms make the scan miss the register");
  }
  return check;
}

// What to do when the port does not open, with the name the user gave it.
std::string OpenAdvice(const std::string& port) {
  if (portmap::ComNumberOfName(port) == 0) {
    return Tr(
        "check the port's name in Device Manager (Ports (COM & LPT)), and close any program "
        "that uses the port");
  }
  return Tr(
      "check in Device Manager (Ports (COM & LPT)) that the adapter is %s, or make %s stand for "
      "its port: `zenor9 ports --map %s=COMn`; close any program that uses the port",
      port, port, port);
}

}  // namespace

std::vector<Check> DeviceChecks(const std::string& port, const std::string& device,
                                const OpenFailureWords& openFailure, bool& opens) {
  // First as the program opens it: a serial line state, for this program alone.
  PortOpenResult opened = OpenPlatformPort(device);
  opens = opened.port != nullptr;
  if (!opens) {
    return {
        {N_("open"), false, openFailure(device, opened.failure, opened.detail), OpenAdvice(port)}};
  }
  opened.port.reset();
  std::vector<Check> checks{{N_("open"), true, Tr("opens for this program alone"), {}}};
  const HANDLE handle =
      ::CreateFileW(Wide(Win32DeviceName(device)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    checks.push_back(ParityCapabilityCheck(handle));
    checks.push_back(ParityReadBackCheck(handle));
    ::CloseHandle(handle);
  }
  checks.push_back(LatencyCheck(device));
  return checks;
}

}  // namespace zenor9::diag
