// Win32 backend of the serial channel: COM ports through the Windows
// communications API, 9600 baud, 8 data bits, 1 stop bit, Mark or Space parity as
// the ninth bit, no parity check on input, RTS handshake, DTR low.
#include <windows.h>

#include <string>

#include "link/serial_port.h"

namespace zenor9 {

namespace {

constexpr DWORD kQueueSize = 1024;

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
    ::SetCommState(handle_, &dcb);
  }

  void Purge(unsigned flags) override { ::PurgeComm(handle_, flags); }

  int Write(const uint8_t* data, uint32_t count, uint32_t /*timeoutMs*/) override {
    // The write time-out is the port's own, set at open.
    DWORD written = 0;
    if (!::WriteFile(handle_, data, count, &written, nullptr)) {
      NoteFailure();
      return -1;
    }
    return static_cast<int>(written);
  }

  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    DWORD read = 0;
    if (!::ReadFile(handle_, buffer, count, &read, nullptr)) {
      NoteFailure();
      return -1;
    }
    return static_cast<int>(read);
  }

  uint32_t QueuedCount() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle_, &errors, &status)) {
      NoteFailure();
      return 0;
    }
    return status.cbInQue;
  }

  void WaitReadable(uint32_t maxMs) override {
    // A synchronous COM handle has no readiness wait with a time-out; looking at
    // the queue every millisecond keeps the thread asleep nearly all the time.
    const DWORD start = ::GetTickCount();
    while (!gone_ && QueuedCount() == 0 && ::GetTickCount() - start < maxMs) ::Sleep(1);
  }

  bool Failed() const override { return gone_; }

 private:
  void NoteFailure() {
    const DWORD error = ::GetLastError();
    if (error == ERROR_DEVICE_REMOVED || error == ERROR_BAD_COMMAND ||
        error == ERROR_ACCESS_DENIED || error == ERROR_OPERATION_ABORTED) {
      gone_ = true;
    }
  }

  HANDLE handle_;
  bool gone_ = false;
};

void ApplyLineSettings(HANDLE handle) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (::GetCommState(handle, &dcb)) {
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
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = 1;
    dcb.XoffLim = 1;
    dcb.ByteSize = 8;
    dcb.Parity = MARKPARITY;
    dcb.StopBits = ONESTOPBIT;
    ::SetCommState(handle, &dcb);
  }
  // Reads return at once with what is queued: the channel layer does the waiting.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 1;
  timeouts.WriteTotalTimeoutConstant = 100;
  ::SetCommTimeouts(handle, &timeouts);
}

}  // namespace

std::unique_ptr<SerialPort> OpenPlatformPort(const std::string& device) {
  if (device.empty()) return nullptr;
  // Share mode 0 opens the port exclusively. The \\.\ prefix reaches COM10 and up too.
  const std::string path = device.rfind("\\\\.\\", 0) == 0 ? device : "\\\\.\\" + device;
  const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  ::SetupComm(handle, kQueueSize, kQueueSize);
  ApplyLineSettings(handle);
  ::PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
  ::EscapeCommFunction(handle, CLRDTR);
  return std::make_unique<Win32Port>(handle);
}

std::string DefaultComDevice(uint8_t portNumber) {
  return "COM" + std::to_string(portNumber);
}

}  // namespace zenor9
