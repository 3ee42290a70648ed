// The platform side of the serial channel: one small interface, one backend per
// platform (POSIX termios, Win32), one for lines behind a serial device server
// (RFC 2217), plus the register emulator's in-process port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

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
  // How much longer than on a local line an answer takes to come back: the
  // network's round trip to a remote line, measured when it was opened; 0 for
  // a local port. Every wait of the protocol grows by it.
  virtual uint32_t RoundTripMs() const { return 0; }
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
  // A remote line (rfc2217://HOST:PORT):
  BadAddress,     // the address is not of that form
  Unresolved,     // the host name does not resolve
  Unreachable,    // nothing accepts connections there (refused, timed out)
  NoRfc2217,      // the port there speaks no telnet with COM-PORT-OPTION
  NoStickParity,  // the server does not accept MARK and SPACE parity
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
  // A remote line's:
  AddressForm,      // the address is no rfc2217://HOST:PORT
  AddressHost,      // its host is no name, IPv4 address or bracketed IPv6 address
  AddressPort,      // its port is no number from 1 to 65535
  ResolverError,    // the resolver's code says why the name does not resolve
  ServerClosed,     // the server closed the connection (saying serverText, if anything)
  NoTelnetAnswer,   // no telnet answer within the negotiation's time
  NoParityAnswer,   // no answer to SET-PARITY within that time
  ComPortRefused,   // the server refused COM-PORT-OPTION
  BinaryRefused,    // the server refused binary transmission
  ParityOtherwise,  // the server answered parityAsked with parityAnswered
  Refused,          // the server refused the connection
  NoConnectAnswer,  // nothing answered the connection within its time
  Flooded,          // the server sent more than any negotiation needs, without answering
  Stopped,          // a stop request ended the wait for the server
};

struct OpenFailureDetail {
  PortDetail what = PortDetail::None;
  unsigned long systemError = 0;  // with SystemError: errno on POSIX, GetLastError on Windows
  // With ResolverError: getaddrinfo's code (EAI_* on POSIX, a Winsock error on
  // Windows), which is no errno.
  int resolverError = 0;
  // With ParityOtherwise: RFC 2217's parity codes (1 NONE, 2 ODD, 3 EVEN, 4
  // MARK, 5 SPACE) of the setting asked for and of the server's answer.
  uint8_t parityAsked = 0;
  uint8_t parityAnswered = 0;
  // With ServerClosed: the printable text the server sent before it closed
  // (ser2net's "Port already in use"), quoted as it is; empty when none.
  std::string serverText;

  static OpenFailureDetail Of(PortDetail what) {
    OpenFailureDetail detail;
    detail.what = what;
    return detail;
  }
  static OpenFailureDetail SystemErrorOf(unsigned long error) {
    OpenFailureDetail detail = Of(PortDetail::SystemError);
    detail.systemError = error;
    return detail;
  }
  static OpenFailureDetail ResolverErrorOf(int code) {
    OpenFailureDetail detail = Of(PortDetail::ResolverError);
    detail.resolverError = code;
    return detail;
  }
};

// What an attempt to open a device gave: the port, or why there is none, with
// what more is known (the system's error number, what the name leads to).
struct PortOpenResult {
  // Openers that have no reason to give return the port alone; an empty one is
  // then a device error.
  PortOpenResult(std::unique_ptr<SerialPort> opened = nullptr)  // NOLINT: implicit on purpose
      : port(std::move(opened)), failure(port ? PortFailure::None : PortFailure::DeviceError) {}
  static PortOpenResult Failure(PortFailure why, OpenFailureDetail detail) {
    PortOpenResult result;
    result.failure = why;
    result.detail = std::move(detail);
    return result;
  }
  static PortOpenResult Failure(PortFailure why, PortDetail what = PortDetail::None) {
    return Failure(why, OpenFailureDetail::Of(what));
  }
  static PortOpenResult SystemFailure(PortFailure why, unsigned long error) {
    return Failure(why, OpenFailureDetail::SystemErrorOf(error));
  }

  std::unique_ptr<SerialPort> port;
  PortFailure failure;
  OpenFailureDetail detail;
};

// Asked during every wait that a stop may cut short (the channel's, and a remote
// line's connect and negotiation): once it answers true, they end at once.
// Empty: never asked.
using StopCheck = std::function<bool()>;

// Opens a device by name, or says why it could not. A remote line's waits end
// once `stopRequested` says so.
using PortOpener =
    std::function<PortOpenResult(const std::string& device, const StopCheck& stopRequested)>;

// The opener of every device name: a remote line for rfc2217://HOST:PORT,
// else the platform's own port.
PortOpenResult OpenPlatformPort(const std::string& device, const StopCheck& stopRequested = {});
// The platform's own port (POSIX termios on Linux, the Win32 API on Windows).
PortOpenResult OpenLocalPort(const std::string& device);

// The device that COMn stands for on this platform when no override is set.
std::string DefaultComDevice(uint8_t portNumber);

}  // namespace zenor9
