// Remote lines for the tests: Debian's ser2net serving a pseudo-terminal on
// 127.0.0.1, a proxy that delays what crosses it, and the bytes a trace shows.
// Everything listens and connects on the loopback only and stops with its
// object (the proxy also by itself after a while).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zenor9::testing {

// A connection to 127.0.0.1:port (TCP_NODELAY), or -1.
int ConnectLoopback(uint16_t port);
// A socket listening on 127.0.0.1 at `port` (any free one when 0) and the port
// it got, or -1.
int ListenLoopback(uint16_t& port);

// A TCP port on 127.0.0.1 that nothing listens on just now.
uint16_t FreeLoopbackPort();

// A free port on `address` (127.0.0.1, or ::1) whose queue of connections
// waiting to be accepted is full: a connect to it gets no answer at all, as
// from a server that drops it silently.
class DeafPort {
 public:
  explicit DeafPort(const std::string& address = "127.0.0.1");
  ~DeafPort();
  DeafPort(const DeafPort&) = delete;
  DeafPort& operator=(const DeafPort&) = delete;

  bool Listening() const { return port_ != 0; }
  uint16_t Port() const { return port_; }

 private:
  std::vector<int> fds_;
  uint16_t port_ = 0;
};

// ser2net serving `device` with RFC 2217 on 127.0.0.1, as a device server
// would: `nodelay` for tcp(nodelay), else the server's default TCP settings;
// with `accepters` ports of its own, each a connection to the one device.
class Ser2net {
 public:
  Ser2net(const std::string& device, bool nodelay = true, int accepters = 1);
  ~Ser2net();
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  // Empty when it runs and accepts connections; else what went wrong (ser2net
  // missing: install it with scripts/install-deps.sh).
  const std::string& Problem() const { return problem_; }
  uint16_t Port(int accepter = 0) const { return ports_.at(accepter); }
  std::string Address(int accepter = 0) const {
    return "rfc2217://127.0.0.1:" + std::to_string(Port(accepter));
  }
  // Ends the server at once, as a power cut would: its connections close.
  // Safe from any thread.
  void Kill() const;

 private:
  std::string dir_;
  std::vector<uint16_t> ports_;
  pid_t pid_ = -1;
  std::string problem_;
};

// Forwards connections from its own loopback port to `targetPort`, holding
// every chunk `oneWayMs` in each direction: a network of 2 x oneWayMs round
// trip. One connection at a time; it ends with its object, or after
// `lifetimeMs` whatever happens.
class DelayProxy {
 public:
  DelayProxy(uint16_t targetPort, uint32_t oneWayMs, uint32_t lifetimeMs = 120'000);
  ~DelayProxy();
  DelayProxy(const DelayProxy&) = delete;
  DelayProxy& operator=(const DelayProxy&) = delete;

  uint16_t Port() const { return port_; }
  std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

 private:
  void Run(uint32_t lifetimeMs);

  uint16_t targetPort_;
  uint32_t oneWayMs_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The bytes sent to the registers in a trace (the program's --trace or `zenor9
// sim --trace`), each as "F8 MARK", in order.
std::vector<std::string> SentWithParity(const std::string& trace);

}  // namespace zenor9::testing
