// POSIX sockets behind the RFC 2217 backend.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#include "link/tcp_stream.h"

namespace zenor9 {

namespace {

using SteadyClock = std::chrono::steady_clock;

int ToPollTimeout(int64_t ms) {
  return ms <= 0 ? 0 : ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

int64_t MsUntil(SteadyClock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
      .count();
}

void SetOption(int fd, int level, int name) {
  const int on = 1;
  ::setsockopt(fd, level, name, &on, sizeof on);
}

// Linux leaves quick acknowledgement mode on its own: re-armed after each read.
void RearmQuickAck(int fd) {
  SetOption(fd, IPPROTO_TCP, TCP_QUICKACK);
}

class PosixStream final : public ByteStream {
 public:
  explicit PosixStream(int fd) : fd_(fd) {}
  ~PosixStream() override { ::close(fd_); }
  PosixStream(const PosixStream&) = delete;
  PosixStream& operator=(const PosixStream&) = delete;

  bool Send(const uint8_t* data, std::size_t count, uint32_t timeoutMs) override {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < count) {
      const ssize_t n = ::send(fd_, data + sent, count - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (MsUntil(deadline) <= 0) return false;
      pollfd pfd{fd_, POLLOUT, 0};
      ::poll(&pfd, 1, ToPollTimeout(MsUntil(deadline)));
    }
    return true;
  }

  int Receive(uint8_t* buffer, std::size_t count) override {
    const ssize_t n = ::recv(fd_, buffer, count, 0);
    if (n > 0) {
      RearmQuickAck(fd_);
      return static_cast<int>(n);
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return -1;  // closed by the peer (0) or failed
  }

  void WaitReadable(uint32_t maxMs) override {
    pollfd pfd{fd_, POLLIN, 0};
    ::poll(&pfd, 1, ToPollTimeout(maxMs));
  }

 private:
  int fd_;
};

// Why an attempt did not connect, as the words for it need: a refusal, no
// answer in time, or the system's error.
OpenFailureDetail WhyNotConnected(int error) {
  if (error == ECONNREFUSED) return OpenFailureDetail::Of(PortDetail::Refused);
  if (error == ETIMEDOUT) return OpenFailureDetail::Of(PortDetail::NoConnectAnswer);
  return OpenFailureDetail::SystemErrorOf(static_cast<unsigned long>(error));
}

// Waits for a connect in progress: nothing once it is made, else why not. A
// signal (EINTR) only makes it look at the stop check again; the wait ends at
// `deadline` or at a stop.
std::optional<OpenFailureDetail> AwaitConnected(int fd, SteadyClock::time_point deadline,
                                                const StopCheck& stopRequested) {
  for (;;) {
    if (stopRequested && stopRequested()) return OpenFailureDetail::Of(PortDetail::Stopped);
    const int64_t left = MsUntil(deadline);
    if (left <= 0) return WhyNotConnected(ETIMEDOUT);
    pollfd pfd{fd, POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, ToPollTimeout(std::min<int64_t>(left, kStopLookMs)));
    if (ready < 0 && errno != EINTR) return WhyNotConnected(errno);
    if (ready <= 0) continue;
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) return WhyNotConnected(error);
    return std::nullopt;
  }
}

// Connects one resolved address by `deadline`: the socket, or -1 with `why`.
int ConnectOne(const addrinfo& address, SteadyClock::time_point deadline,
               const StopCheck& stopRequested, OpenFailureDetail& why) {
  const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
  if (fd < 0) {
    why = WhyNotConnected(errno);
    return -1;
  }
  std::optional<OpenFailureDetail> failed;
  if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
    failed = WhyNotConnected(errno);
  } else {
    failed = AwaitConnected(fd, deadline, stopRequested);
  }
  if (!failed) return fd;
  ::close(fd);
  why = std::move(*failed);
  return -1;
}

std::size_t CountOf(const addrinfo* list) {
  std::size_t count = 0;
  for (; list != nullptr; list = list->ai_next) ++count;
  return count;
}

}  // namespace

StreamOpenResult ConnectTcp(const std::string& host, uint16_t port, uint32_t timeoutMs,
                            const StopCheck& stopRequested) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); error != 0) {
    // EAI_SYSTEM leaves the reason in errno.
    const OpenFailureDetail why = error == EAI_SYSTEM ? OpenFailureDetail::SystemErrorOf(errno)
                                                      : OpenFailureDetail::ResolverErrorOf(error);
    return {nullptr, PortFailure::Unresolved, why};
  }
  int fd = -1;
  OpenFailureDetail why = WhyNotConnected(ETIMEDOUT);
  std::size_t left = CountOf(found);
  for (const addrinfo* each = found; each != nullptr && fd < 0; each = each->ai_next, --left) {
    const auto share = std::chrono::milliseconds(
        AddressShareMs(static_cast<uint32_t>(std::max<int64_t>(MsUntil(deadline), 0)), left));
    fd = ConnectOne(*each, SteadyClock::now() + share, stopRequested, why);
    if (why.what == PortDetail::Stopped) break;
  }
  ::freeaddrinfo(found);
  if (fd < 0) return {nullptr, PortFailure::Unreachable, why};
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY);
  RearmQuickAck(fd);
  return {std::make_unique<PosixStream>(fd), PortFailure::None, {}};
}

}  // namespace zenor9
