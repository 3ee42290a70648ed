// POSIX sockets behind the RFC 2217 backend.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

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

// Connects one resolved address within the time left; the socket, or -1 with
// errno set.
int ConnectOne(const addrinfo& address, SteadyClock::time_point deadline) {
  const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
  if (fd < 0) return -1;
  if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  pollfd pfd{fd, POLLOUT, 0};
  int error = ETIMEDOUT;
  if (::poll(&pfd, 1, ToPollTimeout(MsUntil(deadline))) > 0) {
    socklen_t length = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  }
  if (error != 0) {
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

}  // namespace

StreamOpenResult ConnectTcp(const std::string& host, uint16_t port, uint32_t timeoutMs) {
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
  int lastError = ETIMEDOUT;
  for (const addrinfo* each = found; each != nullptr && fd < 0; each = each->ai_next) {
    fd = ConnectOne(*each, deadline);
    if (fd < 0) lastError = errno;
  }
  ::freeaddrinfo(found);
  if (fd < 0) {
    return {nullptr, PortFailure::Unreachable,
            OpenFailureDetail::SystemErrorOf(static_cast<unsigned long>(lastError))};
  }
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY);
  RearmQuickAck(fd);
  return {std::make_unique<PosixStream>(fd), PortFailure::None, {}};
}

}  // namespace zenor9
