// POSIX termios backend of the serial channel (Linux): 9600 baud, 8 data bits,
// 1 stop bit, the ninth bit as stick parity (Mark or Space), no input parity
// check, no software or hardware flow control, RTS up and DTR down.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "link/posix_termios.h"
#include "link/serial_port.h"

namespace zenor9 {

namespace {

int ToPollTimeout(uint32_t ms) {
  return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

bool IsDeviceGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

int SystemQueuedCount(int fd, int* count) {
  return ::ioctl(fd, FIONREAD, count);
}

// Every call retries when a signal cuts it short: see TerminalCalls.
class PosixPort final : public SerialPort {
 public:
  PosixPort(int fd, const TerminalCalls& calls) : fd_(fd), calls_(calls) {}
  ~PosixPort() override {
    // The exclusive mode belongs to the tty, not to this descriptor: clear it so
    // that the device opens again while someone else still holds it open.
    RetryOnInterrupt([&] { return ::ioctl(fd_, TIOCNXCL); });
    ::close(fd_);  // releases the flock; never repeated, the descriptor is gone either way
  }
  PosixPort(const PosixPort&) = delete;
  PosixPort& operator=(const PosixPort&) = delete;

  void SetParity(ParityMode mode) override {
    termios settings{};
    if (Gone()) return;
    if (RetryOnInterrupt([&] { return calls_.getAttributes(fd_, &settings); }) != 0) {
      NoteError();
      return;
    }
    SetStickParity(settings, mode);
    if (RetryOnInterrupt([&] { return calls_.setAttributes(fd_, TCSADRAIN, &settings); }) != 0) {
      NoteError();
    }
  }

  void Purge(unsigned flags) override {
    const bool input = (flags & (kPurgeRxClear | kPurgeRxAbort)) != 0;
    const bool output = (flags & (kPurgeTxClear | kPurgeTxAbort)) != 0;
    if (Gone() || (!input && !output)) return;
    const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (RetryOnInterrupt([&] { return calls_.flush(fd_, which); }) != 0) NoteError();
  }

  int Write(const uint8_t* data, uint32_t count, uint32_t timeoutMs) override {
    if (Gone()) return -1;
    const auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
    uint32_t written = 0;
    while (written < count) {
      const ssize_t n =
          RetryOnInterrupt([&] { return calls_.write(fd_, data + written, count - written); });
      if (n > 0) {
        written += static_cast<uint32_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN) {
        NoteError();
        return written > 0 ? static_cast<int>(written) : -1;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Now());
      if (left.count() <= 0) break;
      pollfd pfd{fd_, POLLOUT, 0};
      ::poll(&pfd, 1, ToPollTimeout(static_cast<uint32_t>(left.count())));
    }
    return static_cast<int>(written);
  }

  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    if (Gone()) return -1;
    if (count == 0) return 0;
    const ssize_t n = RetryOnInterrupt([&] { return calls_.read(fd_, buffer, count); });
    if (n >= 0) return static_cast<int>(n);
    if (errno == EAGAIN) return 0;
    NoteError();
    return -1;
  }

  uint32_t QueuedCount() override {
    int queued = 0;
    if (Gone() || RetryOnInterrupt([&] { return calls_.queuedCount(fd_, &queued); }) != 0) {
      NoteError();
      return 0;
    }
    return queued > 0 ? static_cast<uint32_t>(queued) : 0;
  }

  // A signal ends the poll early; the channel's waits look at the clock and wait
  // again for the rest of their time.
  void WaitReadable(uint32_t maxMs) override {
    if (Gone()) return;
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, ToPollTimeout(maxMs));
    // A hang-up (the adapter or the peer went away) makes poll return at once,
    // and would again at every call: mark the device as gone so that no caller
    // keeps waiting on it. CLOCAL keeps a real line's carrier out of this.
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) gone_ = true;
  }

  bool Failed() const override { return gone_; }

 private:
  static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
  bool Gone() const { return gone_; }
  void NoteError() {
    if (IsDeviceGone(errno)) gone_ = true;
  }

  int fd_;
  const TerminalCalls& calls_;
  bool gone_ = false;
};

void ApplyLineSettings(int fd) {
  termios settings{};
  // A refused setting is not an open failure.
  if (RetryOnInterrupt([&] { return ::tcgetattr(fd, &settings); }) != 0) return;
  ::cfmakeraw(&settings);
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  settings.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CREAD | CLOCAL;
  settings.c_iflag &= ~(ISTRIP | IXON | IXOFF | IXANY);
  SetStickParity(settings, ParityMode::Mark);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  RetryOnInterrupt([&] { return ::tcsetattr(fd, TCSANOW, &settings); });
}

// RTS up, DTR down. Devices without modem lines (a pseudo-terminal) refuse
// this, which does not matter.
void SetModemLines(int fd) {
  int rts = TIOCM_RTS;
  int dtr = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIS, &rts);
  ::ioctl(fd, TIOCMBIC, &dtr);
}

// USB adapters hold received bytes for a latency timer (16 ms on FTDI chips)
// before passing them on, longer than the 10 ms the scan waits for each probe's
// echo. The low-latency flag makes ftdi_sio use 1 ms; any user may set it.
// Pseudo-terminals and some drivers refuse the request, which changes nothing.
void RequestLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

// The file name the path leads to, through symbolic links (/dev/serial/by-id).
std::string RealName(const std::string& device) {
  char resolved[PATH_MAX];
  const std::string path = ::realpath(device.c_str(), resolved) != nullptr ? resolved : device;
  return path.substr(path.find_last_of('/') + 1);
}

bool IsUartName(const std::string& device) {
  return RealName(device).rfind("ttyS", 0) == 0;
}

PortOpenResult FailureOfOpen(const std::string& device, int error) {
  const auto failure = [error](PortFailure why) {
    return PortOpenResult::SystemFailure(why, error);
  };
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      return failure(PortFailure::Missing);
    case EISDIR:
      return failure(PortFailure::NotSerial);
    case EACCES:
    case EPERM:
    case EROFS:
      return failure(PortFailure::PermissionDenied);
    case EBUSY:
      return failure(PortFailure::Busy);
    case ENXIO:
    case ENODEV:
    case EIO:
    case EINVAL:
      // The serial core refuses to open a ttyS line whose port is not there
      // (ENXIO), and some kernels refuse one whose UART type is unknown (EINVAL).
      if (IsUartName(device)) return failure(PortFailure::NoUart);
      return failure(PortFailure::DeviceError);
    default:
      return failure(PortFailure::DeviceError);
  }
}

// A ttyS line with no UART found behind it opens, but carries nothing: the
// serial core reports its type as unknown.
bool HasNoUart(int fd, const std::string& device) {
  serial_struct serial{};
  return IsUartName(device) && ::ioctl(fd, TIOCGSERIAL, &serial) == 0 &&
         serial.type == PORT_UNKNOWN;
}

PortDetail KindOfNonDevice(mode_t mode) {
  if (S_ISDIR(mode)) return PortDetail::Folder;
  if (S_ISFIFO(mode)) return PortDetail::Fifo;
  if (S_ISREG(mode)) return PortDetail::File;
  if (S_ISSOCK(mode)) return PortDetail::PipeOrSocket;
  return PortDetail::NotCharacterDevice;
}

PortOpenResult CloseWithFailure(int fd, PortFailure failure, PortDetail detail) {
  ::close(fd);
  return PortOpenResult::Failure(failure, detail);
}

}  // namespace

void SetStickParity(termios& settings, ParityMode mode) {
  settings.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  settings.c_cflag |= PARENB | CMSPAR;
  if (mode == ParityMode::Mark) settings.c_cflag |= PARODD;
  settings.c_iflag &= ~(INPCK | PARMRK | IGNPAR);
}

PortOpenResult OpenPlatformPort(const std::string& device) {
  if (device.empty())
    return PortOpenResult::Failure(PortFailure::Missing, PortDetail::NoDeviceNamed);
  // Only a character device is opened: opening a FIFO may wait for its other
  // end, and a file or a folder named as a port is no business of this program.
  struct stat info {};
  if (RetryOnInterrupt([&] { return ::stat(device.c_str(), &info); }) != 0) {
    return FailureOfOpen(device, errno);
  }
  if (!S_ISCHR(info.st_mode)) {
    return PortOpenResult::Failure(PortFailure::NotSerial, KindOfNonDevice(info.st_mode));
  }
  const int fd = RetryOnInterrupt(
      [&] { return ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) return FailureOfOpen(device, errno);
  if (!::isatty(fd)) {
    return CloseWithFailure(fd, PortFailure::NotSerial, PortDetail::NotTerminal);
  }
  // Exclusive use: an advisory lock that every copy of this program honours (root
  // included), and TIOCEXCL for other programs.
  if (RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
    return CloseWithFailure(fd, PortFailure::Busy, PortDetail::LockedByAnother);
  }
  if (HasNoUart(fd, device)) {
    return CloseWithFailure(fd, PortFailure::NoUart, PortDetail::NoUartFound);
  }
  ::ioctl(fd, TIOCEXCL);
  RequestLowLatency(fd);
  ApplyLineSettings(fd);
  SetModemLines(fd);
  RetryOnInterrupt([&] { return ::tcflush(fd, TCIOFLUSH); });
  return PortOpenResult(AdoptTerminal(fd));
}

const TerminalCalls& SystemTerminalCalls() {
  static const TerminalCalls calls{::tcgetattr, ::tcsetattr, ::tcflush,
                                   ::read,      ::write,     SystemQueuedCount};
  return calls;
}

std::unique_ptr<SerialPort> AdoptTerminal(int fd, const TerminalCalls& calls) {
  return std::make_unique<PosixPort>(fd, calls);
}

std::string DefaultComDevice(uint8_t portNumber) {
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace zenor9
