// Win32 backend of the serial channel: COM ports through the Windows
// communications API, 9600 baud, 8 data bits, 1 stop bit, Mark or Space parity as
// the ninth bit, no parity check on input, RTS handshake, DTR low.
#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include <chrono>
#include <optional>
#include <string>

#include "link/handle_kind.h"
#include "link/serial_port.h"
#include "link/win32_names.h"
#include "link/win32_text.h"

namespace zenor9 {

namespace {

constexpr DWORD kQueueSize = 1024;

// Errors after which the device does not come back: an unplugged USB adapter, a
// closed pseudo-terminal under Wine (ERROR_NOT_READY), a driver that has dropped
// the port.
bool MeansDeviceGone(DWORD error) {
  switch (error) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
      return true;
    default:
      return false;
  }
}

// The system timer ticks every 15.6 ms by default, and Sleep(1) lasts a whole
// tick: a 1 ms timer while a port is open lets a wait notice a byte within 2 ms.
class FineTimer {
 public:
  FineTimer() : raised_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~FineTimer() {
    if (raised_) ::timeEndPeriod(1);
  }
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;

 private:
  bool raised_;
};

class Win32Port final : public SerialPort {
 public:
  explicit Win32Port(HANDLE handle) : handle_(handle) {}
  ~Win32Port() override { ::CloseHandle(handle_); }
  Win32Port(const Win32Port&) = delete;
  Win32Port& operator=(const Win32Port&) = delete;

  void SetParity(ParityMode mode) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) {
      NoteFailure();
      return;
    }
    dcb.Parity = mode == ParityMode::Mark ? MARKPARITY : SPACEPARITY;
    if (!::SetCommState(handle_, &dcb)) NoteFailure();
  }

  void Purge(unsigned flags) override { ::PurgeComm(handle_, flags); }

  int Write(const uint8_t* data, uint32_t count, uint32_t /*timeoutMs*/) override {
    // The write time-out is the port's own, set at open.
    DWORD written = 0;
    if (gone_ || !::WriteFile(handle_, data, count, &written, nullptr)) {
      NoteFailure();
      return -1;
    }
    return static_cast<int>(written);
  }

  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    DWORD read = 0;
    if (gone_ || !::ReadFile(handle_, buffer, count, &read, nullptr)) {
      NoteFailure();
      return -1;
    }
    return static_cast<int>(read);
  }

  uint32_t QueuedCount() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (gone_ || !::ClearCommError(handle_, &errors, &status)) {
      NoteFailure();
      return 0;
    }
    return status.cbInQue;
  }

  void WaitReadable(uint32_t maxMs) override {
    // A synchronous COM handle has no readiness wait with a time-out; looking at
    // the queue every millisecond keeps the thread asleep nearly all the time.
    // The steady clock counts whole milliseconds, where GetTickCount moves in
    // timer ticks of 10 to 16 ms.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(maxMs);
    while (QueuedCount() == 0 && !gone_ && Clock::now() < end) ::Sleep(1);
  }

  bool Failed() const override { return gone_; }

 private:
  void NoteFailure() {
    if (gone_ || MeansDeviceGone(::GetLastError())) gone_ = true;
  }

  HANDLE handle_;
  FineTimer timer_;
  bool gone_ = false;
};

void ApplyLineSettings(HANDLE handle, DCB dcb) {
  dcb.BaudRate = CBR_9600;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;  // received bytes are taken whatever their ninth bit
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  // RTS follows the driver's input buffer. Wine turns this into CRTSCTS, which
  // also holds output until CTS: see the README on three-wire cables.
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fAbortOnError = FALSE;
  dcb.XonLim = 1;
  dcb.XoffLim = 1;
  dcb.ByteSize = 8;
  dcb.Parity = MARKPARITY;
  dcb.StopBits = ONESTOPBIT;
  ::SetCommState(handle, &dcb);
  // Reads return at once with what is queued: the channel layer does the waiting.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 1;
  timeouts.WriteTotalTimeoutConstant = 100;
  ::SetCommTimeouts(handle, &timeouts);
}

// Why CreateFile refused `name`. A COM port that another program holds answers
// "access denied" (its share mode is 0), a file that another program holds
// "sharing violation".
PortFailure OpenFailureOf(DWORD error, const std::string& name) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
      return PortFailure::Missing;
    case ERROR_ACCESS_DENIED:
      return name.rfind("\\\\.\\", 0) == 0 ? PortFailure::Busy : PortFailure::PermissionDenied;
    case ERROR_SHARING_VIOLATION:
      return PortFailure::Busy;
    default:
      return PortFailure::DeviceError;
  }
}

// Why an opened device has no serial line state. Under Wine a COM name whose
// device is gone opens, and only the state says so.
PortFailure StateFailureOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return PortFailure::Missing;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
      return PortFailure::NotSerial;
    default:
      return PortFailure::DeviceError;
  }
}

HandleKind KindOf(DWORD fileType) {
  switch (fileType) {
    case FILE_TYPE_CHAR:
      return HandleKind::Character;
    case FILE_TYPE_DISK:
      return HandleKind::Disk;
    case FILE_TYPE_PIPE:
      return HandleKind::PipeOrSocket;
    default:
      return HandleKind::Unknown;
  }
}

// CreateFile opens files and pipes as well: only a handle that has a serial
// line state (read into `dcb`) is a port. Nothing has been written to it yet.
// Returns why not, or nothing for a serial port.
std::optional<PortOpenResult> WhyNotSerial(HANDLE handle, DCB& dcb) {
  return RefusalOfHandle(KindOf(::GetFileType(handle)), [&]() -> std::optional<PortOpenResult> {
    if (::GetCommState(handle, &dcb)) return std::nullopt;
    const DWORD error = ::GetLastError();
    return PortOpenResult::SystemFailure(StateFailureOf(error), error);
  });
}

}  // namespace

std::string Win32DeviceName(const std::string& device) {
  if (device.find_first_of("\\/:") != std::string::npos) return device;
  return "\\\\.\\" + device;
}

PortOpenResult OpenPlatformPort(const std::string& device) {
  if (device.empty())
    return PortOpenResult::Failure(PortFailure::Missing, PortDetail::NoDeviceNamed);
  const std::string name = Win32DeviceName(device);
  // Share mode 0 opens the port exclusively. The name is UTF-8 (a COM map's
  // line, the command line): the wide call takes every character of it.
  const HANDLE handle = ::CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return PortOpenResult::SystemFailure(OpenFailureOf(error, name), error);
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (std::optional<PortOpenResult> refused = WhyNotSerial(handle, dcb)) {
    ::CloseHandle(handle);
    return std::move(*refused);
  }
  ::SetupComm(handle, kQueueSize, kQueueSize);
  ApplyLineSettings(handle, dcb);
  ::PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
  ::EscapeCommFunction(handle, CLRDTR);
  return PortOpenResult(std::make_unique<Win32Port>(handle));
}

std::string DefaultComDevice(uint8_t portNumber) {
  return "\\\\.\\COM" + std::to_string(portNumber);
}

}  // namespace zenor9
