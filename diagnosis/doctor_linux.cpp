// Linux: what sysfs, /proc, the udev rules and the tty itself tell about a port.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "diagnosis/doctor.h"
#include "diagnosis/folder_walk.h"
#include "diagnosis/port_facts.h"
#include "diagnosis/sysfs_tty.h"
#include "link/posix_termios.h"
#include "link/serial_port.h"
#include "portmap/com_map.h"

namespace zenor9::diag {

namespace fs = std::filesystem;

using i18n::JoinedWithAnd;

namespace {

const char* AdapterAdvice() {
  return Tr(
      "use an adapter whose driver sends mark and space parity (FTDI, PL2303, CP2102 and "
      "later) or a UART");
}

enum class Kind { Uart, UsbAdapter, Acm, PseudoTerminal, Other };

// What sysfs and the device node say about one port.
struct PortFacts {
  std::string real;  // the device node behind links (/dev/ttyUSB0)
  std::string name;  // ttyUSB0
  Kind kind = Kind::Other;
  std::string driver;
  std::string usbIds;  // "0403:6001", empty when not USB
  bool noUart = false;
  std::optional<bool> lowLatency;  // the flag as found, before this program opened the port
};

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// vendor:product of the USB device above the tty in sysfs.
std::string UsbIdsOf(const fs::path& sysDevice) {
  std::error_code error;
  for (fs::path dir = fs::canonical(sysDevice, error); !error && dir.has_relative_path();
       dir = dir.parent_path()) {
    if (fs::exists(dir / "idVendor", error) && fs::exists(dir / "idProduct", error)) {
      return Lower(FirstLine(dir / "idVendor") + ":" + FirstLine(dir / "idProduct"));
    }
  }
  return {};
}

std::optional<bool> LowLatencyFlag(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  serial_struct serial{};
  const bool known = ::ioctl(fd, TIOCGSERIAL, &serial) == 0;
  ::close(fd);
  if (!known) return std::nullopt;
  return (serial.flags & ASYNC_LOW_LATENCY) != 0;
}

PortFacts FactsOf(const std::string& device) {
  PortFacts facts;
  std::error_code error;
  facts.real = fs::canonical(device, error).string();
  if (error) facts.real = device;
  facts.name = fs::path(facts.real).filename().string();
  const fs::path sys = kClassTty / facts.name;
  facts.driver = DriverOf(device);
  facts.usbIds = UsbIdsOf(sys / "device");
  struct stat info {};
  const bool node = ::stat(facts.real.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
  if (node && major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143) {
    facts.kind = Kind::PseudoTerminal;
  } else if (facts.name.rfind("ttyUSB", 0) == 0) {
    facts.kind = Kind::UsbAdapter;
  } else if (facts.name.rfind("ttyACM", 0) == 0) {
    facts.kind = Kind::Acm;
  } else if (facts.name.rfind("ttyS", 0) == 0) {
    facts.kind = Kind::Uart;
    facts.noUart = TtyHasNoUart(sys);
  }
  return facts;
}

std::string KindText(const PortFacts& facts) {
  std::string text;
  switch (facts.kind) {
    case Kind::Uart:
      text = Tr("a UART");
      break;
    case Kind::UsbAdapter:
      text = Tr("a USB serial adapter");
      break;
    case Kind::Acm:
      text = Tr("a USB ACM device");
      break;
    case Kind::PseudoTerminal:
      return Tr("a pseudo-terminal");
    case Kind::Other:
      text = Tr("a terminal device");
      break;
  }
  if (!facts.driver.empty()) text += Tr(", driver %s", facts.driver);
  if (!facts.usbIds.empty()) text += ", USB " + facts.usbIds;
  return text;
}

// How to make the user's port stand for a device: with the COM name they gave,
// or COM1 when they gave a path.
std::string MapAdvice(const std::string& port) {
  const std::string com = portmap::ComNumberOfName(port) != 0 ? port : "COM1";
  return Tr(
      "`zenor9 ports` lists the serial ports, and `zenor9 ports --map %s=PATH` makes %s "
      "stand for one",
      com, com);
}

Check DeviceCheck(const std::string& port, const std::string& device, const PortFacts& facts) {
  struct stat info {};
  const std::string shown = facts.real == device ? device : device + " (" + facts.real + ")";
  if (::stat(device.c_str(), &info) != 0) {
    return {N_("device"), false, Tr("%s does not exist", device),
            Tr("plug the adapter in; %s", MapAdvice(port))};
  }
  if (!S_ISCHR(info.st_mode)) {
    return {N_("device"), false, Tr("%s is not a serial device", shown),
            Tr("give a serial port; %s", MapAdvice(port))};
  }
  if (facts.noUart) {
    return {N_("device"), false, Tr("%s has no UART behind it (its type is unknown)", shown),
            Tr("this computer has no such serial port: use the one the register is on; %s",
               MapAdvice(port))};
  }
  return {N_("device"), true, shown + ": " + KindText(facts), {}};
}

Check PermissionCheck(const std::string& device) {
  if (::access(device.c_str(), R_OK | W_OK) == 0) {
    return {N_("permission"), true, Tr("this user may read and write the device"), {}};
  }
  const std::optional<MissingGroup> group = GroupThatWouldAllow(device);
  if (!group) {
    return {N_("permission"), false, Tr("this user may not read and write the device"),
            Tr("ask the administrator for access to it")};
  }
  if (group->joinedAfterLogin) {
    return {N_("permission"), false, GroupHint(device), Tr("log out and in again")};
  }
  return {N_("permission"), false, GroupHint(device),
          Tr("sudo usermod -aG %s $USER, then log out and in again", group->name)};
}

std::string OpenAdvice(PortFailure failure) {
  switch (failure) {
    case PortFailure::Busy:
      return Tr(
          "close the program that holds the port, or stop the service that took it (see "
          "services)");
    case PortFailure::PermissionDenied:
      return Tr("see permission");
    case PortFailure::Missing:
    case PortFailure::NotSerial:
    case PortFailure::NoUart:
      return Tr("see device");
    default:
      return Tr("unplug the adapter and plug it in again; `dmesg` shows the driver's complaint");
  }
}

Check OpenCheck(const std::string& device, const OpenFailureWords& openFailure, bool& opens) {
  PortOpenResult opened = OpenPlatformPort(device);
  opens = opened.port != nullptr;
  if (opens) {
    return {N_("open"), true, Tr("opens for this program alone (flock and TIOCEXCL)"), {}};
  }
  return {N_("open"), false, openFailure(device, opened.failure, opened.detail),
          OpenAdvice(opened.failure)};
}

// Processes of the desktop services that take serial ports, by their names.
std::vector<std::string> RunningServices() {
  static const char* const kServices[] = {"brltty", "ModemManager", "gpsd"};
  std::vector<std::string> running;
  ForEachEntry("/proc", [&](const fs::directory_entry& process) {
    const std::string name = FirstLine(process.path() / "comm");
    for (const char* service : kServices) {
      if (name == service && std::find(running.begin(), running.end(), name) == running.end()) {
        running.push_back(name);
      }
    }
    return true;
  });
  return running;
}

// Whether a line of the rules file names vendor and product.
bool FileNamesAdapter(const fs::path& file, const std::string& vendor, const std::string& product) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    const std::string lower = Lower(line);
    if (lower.find(vendor) != std::string::npos && lower.find(product) != std::string::npos &&
        lower.find("idvendor") != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Whether a udev rules file of the service names vendor and product on one line.
bool RulesNameAdapter(const std::string& service, const std::string& usbIds) {
  const std::string vendor = usbIds.substr(0, 4);
  const std::string product = usbIds.substr(5);
  const std::string key = service == "ModemManager" ? "mm-" : Lower(service);
  bool named = false;
  for (const char* dir : {"/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d"}) {
    ForEachEntry(dir, [&](const fs::directory_entry& file) {
      named = Lower(file.path().filename().string()).find(key) != std::string::npos &&
              FileNamesAdapter(file.path(), vendor, product);
      return !named;
    });
    if (named) return true;
  }
  return false;
}

std::string ServiceAdvice(const std::string& service) {
  if (service == "brltty") {
    return Tr(
        "sudo systemctl mask brltty-udev.service brltty.service (or remove brltty if no "
        "braille display is used)");
  }
  if (service == "ModemManager") {
    return Tr(
        "sudo systemctl stop ModemManager, or give the adapter ENV{ID_MM_DEVICE_IGNORE}=\"1\" "
        "in a udev rule");
  }
  return "sudo systemctl stop gpsd.socket gpsd";
}

Check ServicesCheck(const PortFacts& facts) {
  const std::vector<std::string> running = RunningServices();
  if (running.empty()) {
    return {N_("services"), true, Tr("brltty, ModemManager and gpsd are not running"), {}};
  }
  if (!facts.usbIds.empty()) {
    for (const std::string& service : running) {
      if (RulesNameAdapter(service, facts.usbIds)) {
        return {N_("services"), false,
                Tr("%s is running and its udev rules name this adapter (%s): it may take the "
                   "port",
                   service, facts.usbIds),
                ServiceAdvice(service)};
      }
    }
  }
  return {N_("services"),
          true,
          Tr("running: %s; no rules of theirs name this adapter", JoinedWithAnd(running)),
          {}};
}

// Sets each mode, reads the settings back, and restores what was there.
Check StickParityCheck(const std::string& device, const PortFacts& facts) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (fd >= 0) ::close(fd);
    return {N_("stick parity"), false, Tr("the port could not be opened to try it"),
            Tr("see open")};
  }
  termios original{};
  ::tcgetattr(fd, &original);
  // A pseudo-terminal keeps no PARENB; CMSPAR and PARODD still carry the mode.
  const tcflag_t wanted = facts.kind == Kind::PseudoTerminal ? CMSPAR : (PARENB | CMSPAR);
  std::vector<std::string> lost;
  for (ParityMode mode : {ParityMode::Mark, ParityMode::Space}) {
    termios settings = original;
    SetStickParity(settings, mode);
    termios back{};
    // Only the settings read back count: drivers accept what they then drop, and
    // the C library may report a flag the terminal dropped as an error.
    ::tcsetattr(fd, TCSANOW, &settings);
    if (::tcgetattr(fd, &back) != 0 || (back.c_cflag & wanted) != wanted ||
        ((back.c_cflag & PARODD) != 0) != (mode == ParityMode::Mark)) {
      lost.push_back(mode == ParityMode::Mark ? "MARK" : "SPACE");
    }
  }
  ::tcsetattr(fd, TCSANOW, &original);
  ::close(fd);

  const std::string driver = facts.driver.empty() ? Tr("the driver") : facts.driver;
  if (!lost.empty()) {
    return {N_("stick parity"), false,
            Tr("%s does not keep %s parity (CMSPAR dropped): the ninth bit cannot be sent", driver,
               JoinedWithAnd(lost)),
            AdapterAdvice()};
  }
  if (facts.kind == Kind::PseudoTerminal) {
    return {N_("stick parity"),
            true,
            Tr("MARK and SPACE kept (a pseudo-terminal carries no wire)"),
            {}};
  }
  const DriverVerdict verdict = VerdictOfDriver(facts.driver);
  if (verdict.stickParity == StickParity::IgnoredSilently) {
    return {N_("stick parity"), false,
            Tr("MARK and SPACE kept in the settings, but %s is known to ignore them: %s", driver,
               Tr(verdict.note)),
            Tr("%s; only the register's answer tells (see register)", AdapterAdvice())};
  }
  return {
      N_("stick parity"), true, Tr("MARK and SPACE kept by %s (%s)", driver, Tr(verdict.note)), {}};
}

Check LatencyCheck(const PortFacts& facts) {
  const std::string flag = !facts.lowLatency ? Tr("the low-latency flag cannot be read")
                           : *facts.lowLatency
                               ? Tr("the low-latency flag was set")
                               : Tr("the low-latency flag was off (this program sets it when it "
                                    "opens the port)");
  const fs::path timer = fs::path("/sys/bus/usb-serial/devices") / facts.name / "latency_timer";
  std::error_code error;
  if (facts.kind != Kind::UsbAdapter || !fs::exists(timer, error)) {
    return {N_("latency"), true, Tr("%s; no latency timer on this device", flag), {}};
  }
  const std::string ms = FirstLine(timer);
  const bool slow = !ms.empty() && std::atoi(ms.c_str()) > 10;
  Check check{N_("latency"), !slow, Tr("%s; latency timer %s ms now", flag, ms), {}};
  if (slow) {
    check.advice =
        Tr("echo 1 | sudo tee %s (echoes held longer than 10 ms make the scan miss the register)",
           timer.string());
  }
  return check;
}

}  // namespace

std::vector<Check> DeviceChecks(const std::string& port, const std::string& device,
                                const OpenFailureWords& openFailure, bool& opens) {
  opens = false;
  PortFacts facts = FactsOf(device);
  std::vector<Check> checks{DeviceCheck(port, device, facts)};
  if (!checks.back().ok) return checks;
  facts.lowLatency = LowLatencyFlag(device);
  checks.push_back(PermissionCheck(device));
  checks.push_back(OpenCheck(device, openFailure, opens));
  checks.push_back(ServicesCheck(facts));
  if (!opens) return checks;
  checks.push_back(StickParityCheck(device, facts));
  checks.push_back(LatencyCheck(facts));
  return checks;
}

}  // namespace zenor9::diag
