// The platform side of the serial channel: one small interface, one backend per
// platform (POSIX termios now), plus the register emulator's in-process port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zenor9 {

// The ninth (parity) bit of every byte sent: Mark (1) for the address byte,
// Space (0) for frame bytes.
enum class ParityMode : uint8_t { Mark, Space };

// Purge flags: what to drop or abort.
inline constexpr unsigned kPurgeTxAbort = 0x0001;
inline constexpr unsigned kPurgeRxAbort = 0x0002;
inline constexpr unsigned kPurgeTxClear = 0x0004;
inline constexpr unsigned kPurgeRxClear = 0x0008;
inline constexpr unsigned kPurgeBothQueues = kPurgeTxClear | kPurgeRxClear;
inline constexpr unsigned kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeBothQueues;

// An open port. Reads never block here: the channel layer does the waiting, on its
// clock, through WaitReadable. A backend's waits must agree with the channel's
// clock (the real clock for real devices, a virtual one for the emulator).
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual void SetParity(ParityMode mode) = 0;
  virtual void Purge(unsigned flags) = 0;
  // Hands the bytes to the line, giving up after timeoutMs; returns the number
  // written, or -1 when the device refused the write.
  virtual int Write(const uint8_t* data, uint32_t count, uint32_t timeoutMs) = 0;
  // Takes up to `count` bytes that have already arrived; never waits. Returns -1
  // when the device failed.
  virtual int ReadQueued(uint8_t* buffer, uint32_t count) = 0;
  virtual uint32_t QueuedCount() = 0;
  // Blocks until at least one byte has arrived or about maxMs have passed. Returns
  // at once when a byte is already queued or the device has failed.
  virtual void WaitReadable(uint32_t maxMs) = 0;
  // True once the device has gone away (unplugged adapter, closed peer): every
  // further operation fails at once.
  virtual bool Failed() const = 0;
};

// Why a device did not open.
enum class PortFailure : uint8_t {
  None,
  Missing,           // no such device
  NotSerial,         // it exists but is no terminal device
  PermissionDenied,  // this user may not open it
  Busy,              // held by another program
  NoUart,            // a ttyS name with no UART behind it
  DeviceError,       // the device refused for another reason
};

// What more is known of why a device did not open, as data: the front ends
// word it in the user's language.
enum class PortDetail : uint8_t {
  None,
  NoDeviceNamed,       // the name is empty
  Folder,              // the name leads to a folder,
  Fifo,                // a FIFO,
  File,                // a file,
  PipeOrSocket,        // a pipe or a socket,
  NotCharacterDevice,  // or something else that is no character device
  NotTerminal,         // a character device, but no terminal
  LockedByAnother,     // another copy of this program holds its lock
  NoUartFound,         // the serial driver found no UART behind the name
  NoDeviceAnswers,     // a COM name that opens but has no device behind it
  SystemError,         // the system's error number says it
};

struct OpenFailureDetail {
  PortDetail what = PortDetail::None;
  unsigned long systemError = 0;  // with SystemError: errno on POSIX, GetLastError on Windows
};

// What an attempt to open a device gave: the port, or why there is none, with
// what more is known (the system's error number, what the name leads to).
struct PortOpenResult {
  // Openers that have no reason to give return the port alone; an empty one is
  // then a device error.
  PortOpenResult(std::unique_ptr<SerialPort> opened = nullptr)  // NOLINT: implicit on purpose
      : port(std::move(opened)), failure(port ? PortFailure::None : PortFailure::DeviceError) {}
  static PortOpenResult Failure(PortFailure why, PortDetail what = PortDetail::None) {
    PortOpenResult result;
    result.failure = why;
    result.detail.what = what;
    return result;
  }
  static PortOpenResult SystemFailure(PortFailure why, unsigned long error) {
    PortOpenResult result = Failure(why, PortDetail::SystemError);
    result.detail.systemError = error;
    return result;
  }

  std::unique_ptr<SerialPort> port;
  PortFailure failure;
  OpenFailureDetail detail;
};

// Opens a device by name, or says why it could not.
using PortOpener = std::function<PortOpenResult(const std::string& device)>;

// The platform's own opener (POSIX termios on Linux).
PortOpenResult OpenPlatformPort(const std::string& device);

// The device that COMn stands for on this platform when no override is set.
std::string DefaultComDevice(uint8_t portNumber);

}  // namespace zenor9
