// Winsock behind the RFC 2217 backend. Windows has no TCP_QUICKACK; its
// delayed acknowledgement is the server's to live with (tcp(nodelay) there).
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "link/tcp_stream.h"
#include "link/win32_fine_timer.h"

namespace zenor9 {

namespace {

using SteadyClock = std::chrono::steady_clock;

int64_t MsUntil(SteadyClock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
      .count();
}

// Waits for `fd` to be readable (or writable) for at most `ms`; true when it is.
bool WaitFor(SOCKET fd, bool writable, int64_t ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  fd_set errors = set;
  timeval limit{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
  if (ms < 0) limit = {0, 0};
  const int ready =
      ::select(0, writable ? nullptr : &set, writable ? &set : nullptr, &errors, &limit);
  return ready > 0 && FD_ISSET(fd, &set);
}

// Winsock is started once for the process and left running to its end: 0, or
// why it did not start.
int StartWinsock() {
  static const int error = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return error;
}

class WinsockStream final : public ByteStream {
 public:
  explicit WinsockStream(SOCKET fd) : fd_(fd) {}
  ~WinsockStream() override { ::closesocket(fd_); }
  WinsockStream(const WinsockStream&) = delete;
  WinsockStream& operator=(const WinsockStream&) = delete;

  bool Send(const uint8_t* data, std::size_t count, uint32_t timeoutMs) override {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < count) {
      const int n = ::send(fd_, reinterpret_cast<const char*>(data + sent),
                           static_cast<int>(count - sent), 0);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK) return false;
      if (MsUntil(deadline) <= 0) return false;
      WaitFor(fd_, true, MsUntil(deadline));
    }
    return true;
  }

  int Receive(uint8_t* buffer, std::size_t count) override {
    const int n = ::recv(fd_, reinterpret_cast<char*>(buffer), static_cast<int>(count), 0);
    if (n > 0) return n;
    if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    return -1;  // closed by the peer (0) or failed
  }

  void WaitReadable(uint32_t maxMs) override { WaitFor(fd_, false, maxMs); }

 private:
  SOCKET fd_;
  FineTimer timer_;  // the channel's delays sleep between its looks at the stream
};

// Why an attempt did not connect, as the words for it need: a refusal, no
// answer in time, or the system's error.
OpenFailureDetail WhyNotConnected(int error) {
  if (error == WSAECONNREFUSED) return OpenFailureDetail::Of(PortDetail::Refused);
  if (error == WSAETIMEDOUT) return OpenFailureDetail::Of(PortDetail::NoConnectAnswer);
  return OpenFailureDetail::SystemErrorOf(static_cast<unsigned long>(error));
}

// The error a socket holds: a refused connection shows in select's error set,
// never in the writable one.
int PendingError(SOCKET fd) {
  int error = 0;
  int length = sizeof error;
  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
  return error;
}

// Waits for a connect in progress: nothing once it is made, else why not. A
// console's control event does not end select, so the wait looks at the stop
// check between short slices; it ends at `deadline` or at a stop.
std::optional<OpenFailureDetail> AwaitConnected(SOCKET fd, SteadyClock::time_point deadline,
                                                const StopCheck& stopRequested) {
  for (;;) {
    if (stopRequested && stopRequested()) return OpenFailureDetail::Of(PortDetail::Stopped);
    const int64_t left = MsUntil(deadline);
    if (left <= 0) return WhyNotConnected(WSAETIMEDOUT);
    const bool writable = WaitFor(fd, true, std::min<int64_t>(left, kStopLookMs));
    if (const int error = PendingError(fd); error != 0) return WhyNotConnected(error);
    if (writable) return std::nullopt;
  }
}

// Connects one resolved address by `deadline`: the socket, or INVALID_SOCKET
// with `why`.
SOCKET ConnectOne(const addrinfo& address, SteadyClock::time_point deadline,
                  const StopCheck& stopRequested, OpenFailureDetail& why) {
  const SOCKET fd = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
  if (fd == INVALID_SOCKET) {
    why = WhyNotConnected(::WSAGetLastError());
    return fd;
  }
  u_long nonBlocking = 1;
  ::ioctlsocket(fd, FIONBIO, &nonBlocking);
  std::optional<OpenFailureDetail> failed;
  if (::connect(fd, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0 &&
      ::WSAGetLastError() != WSAEWOULDBLOCK) {
    failed = WhyNotConnected(::WSAGetLastError());
  } else {
    failed = AwaitConnected(fd, deadline, stopRequested);
  }
  if (!failed) return fd;
  ::closesocket(fd);
  why = std::move(*failed);
  return INVALID_SOCKET;
}

std::size_t CountOf(const addrinfo* list) {
  std::size_t count = 0;
  for (; list != nullptr; list = list->ai_next) ++count;
  return count;
}

}  // namespace

StreamOpenResult ConnectTcp(const std::string& host, uint16_t port, uint32_t timeoutMs,
                            const StopCheck& stopRequested) {
  if (const int error = StartWinsock(); error != 0) {
    return {nullptr, PortFailure::DeviceError,
            OpenFailureDetail::SystemErrorOf(static_cast<unsigned long>(error))};
  }
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  // The host is ASCII (ParseRemoteAddress allows nothing else), so the narrow
  // call loses nothing; its code is a Winsock error (WSAHOST_NOT_FOUND, ...).
  if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); error != 0) {
    return {nullptr, PortFailure::Unresolved, OpenFailureDetail::ResolverErrorOf(error)};
  }
  SOCKET fd = INVALID_SOCKET;
  OpenFailureDetail why = WhyNotConnected(WSAETIMEDOUT);
  std::size_t left = CountOf(found);
  for (const addrinfo* each = found; each != nullptr && fd == INVALID_SOCKET;
       each = each->ai_next, --left) {
    const auto share = std::chrono::milliseconds(
        AddressShareMs(static_cast<uint32_t>(std::max<int64_t>(MsUntil(deadline), 0)), left));
    fd = ConnectOne(*each, SteadyClock::now() + share, stopRequested, why);
    if (why.what == PortDetail::Stopped) break;
  }
  ::freeaddrinfo(found);
  if (fd == INVALID_SOCKET) return {nullptr, PortFailure::Unreachable, why};
  const BOOL on = TRUE;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return {std::make_unique<WinsockStream>(fd), PortFailure::None, {}};
}

}  // namespace zenor9
