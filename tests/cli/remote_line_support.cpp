#include "remote_line_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>

extern char** environ;

namespace zenor9::testing {

namespace fs = std::filesystem;

namespace {

using SteadyClock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::string Ser2netProgram() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return {};
}

std::string Ser2netConfig(const std::string& device, const std::vector<uint16_t>& ports,
                          bool nodelay) {
  std::string config = "%YAML 1.1\n---\n";
  for (uint16_t port : ports) {
    config += "connection: &line" + std::to_string(port) + "\n  accepter: telnet(rfc2217),tcp" +
              std::string(nodelay ? "(nodelay)" : "") + ",127.0.0.1," + std::to_string(port) +
              "\n  connector: serialdev," + device +
              ",9600n81,local\n  options:\n    chardelay: false\n    mdns: false\n";
  }
  return config;
}

}  // namespace

int ConnectLoopback(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

int ListenLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(port);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

uint16_t FreeLoopbackPort() {
  uint16_t port = 0;
  const int fd = ListenLoopback(port);
  if (fd >= 0) ::close(fd);
  return port;
}

DeafPort::DeafPort(const std::string& address) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), "0", &hints, &found) != 0) return;
  sockaddr_storage bound{};
  socklen_t length = found->ai_addrlen;
  std::memcpy(&bound, found->ai_addr, length);
  ::freeaddrinfo(found);
  fds_.push_back(::socket(bound.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  auto* where = reinterpret_cast<sockaddr*>(&bound);
  if (::bind(fds_[0], where, length) != 0 || ::listen(fds_[0], 0) != 0 ||
      ::getsockname(fds_[0], where, &length) != 0) {
    return;
  }
  // Connections that nobody accepts fill the queue; the kernel then drops
  // every further SYN.
  for (int i = 0; i < 3; ++i) {
    fds_.push_back(::socket(bound.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    ::connect(fds_.back(), where, length);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // The port stands at the same place in IPv4 and IPv6 addresses.
  port_ = ntohs(reinterpret_cast<sockaddr_in&>(bound).sin_port);
}

DeafPort::~DeafPort() {
  for (int fd : fds_) {
    if (fd >= 0) ::close(fd);
  }
}

Ser2net::Ser2net(const std::string& device, bool nodelay, int accepters) {
  const std::string program = Ser2netProgram();
  if (program.empty()) {
    problem_ = "ser2net is not installed: scripts/install-deps.sh installs it";
    return;
  }
  char pattern[] = "/tmp/zenor9-ser2net-XXXXXX";
  dir_ = ::mkdtemp(pattern) != nullptr ? pattern : "";
  for (int i = 0; i < accepters; ++i) ports_.push_back(FreeLoopbackPort());
  const std::string config = dir_ + "/ser2net.yaml";
  std::ofstream(config) << Ser2netConfig(device, ports_, nodelay);
  const std::string pidFile = dir_ + "/ser2net.pid";
  std::vector<std::string> args{program, "-n", "-u", "-c", config, "-P", pidFile};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Its complaint about mDNS, which it is told not to use, is no test's output.
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int failed = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    pid_ = -1;
    problem_ = "ser2net did not start";
    return;
  }
  const auto deadline = SteadyClock::now() + std::chrono::seconds(5);
  for (uint16_t port : ports_) {
    int probe = ConnectLoopback(port);
    for (; probe < 0 && SteadyClock::now() < deadline; probe = ConnectLoopback(port)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (probe < 0) {
      problem_ = "ser2net does not accept connections on 127.0.0.1:" + std::to_string(port);
      return;
    }
    ::close(probe);
  }
}

void Ser2net::Kill() const {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

Ser2net::~Ser2net() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code error;
  if (!dir_.empty()) fs::remove_all(dir_, error);
}

DelayProxy::DelayProxy(uint16_t targetPort, uint32_t oneWayMs, uint32_t lifetimeMs)
    : targetPort_(targetPort), oneWayMs_(oneWayMs) {
  listener_ = ListenLoopback(port_);
  if (listener_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) return;
  thread_ = std::thread(&DelayProxy::Run, this, lifetimeMs);
}

DelayProxy::~DelayProxy() {
  if (thread_.joinable()) {
    stop_ = true;
    const char wake = 1;
    (void)!::write(wake_[1], &wake, 1);
    thread_.join();
  }
  for (int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) ::close(fd);
  }
}

void DelayProxy::Run(uint32_t lifetimeMs) {
  const auto end = SteadyClock::now() + std::chrono::milliseconds(lifetimeMs);
  const std::chrono::milliseconds delay(oneWayMs_);
  // What was read in both directions, each chunk due a delay after it came:
  // one delay for all, so the chunks fall due in the order they came.
  struct Held {
    SteadyClock::time_point due;
    int to;
    std::vector<char> bytes;
  };
  std::deque<Held> held;
  int client = -1;
  int server = -1;
  while (!stop_ && SteadyClock::now() < end) {
    int waitMs = 100;
    if (!held.empty()) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(held.front().due - SteadyClock::now());
      waitMs = static_cast<int>(std::max<int64_t>(left.count(), 0));
    }
    pollfd fds[4] = {{wake_[0], POLLIN, 0},
                     {listener_, static_cast<short>(client < 0 ? POLLIN : 0), 0},
                     {client, POLLIN, 0},
                     {server, POLLIN, 0}};
    ::poll(fds, 4, waitMs);
    if (client < 0 && (fds[1].revents & POLLIN) != 0) {
      client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      server = ConnectLoopback(targetPort_);
      const int on = 1;
      ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    bool closed = false;
    for (const pollfd& from : {fds[2], fds[3]}) {
      if (from.revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(from.fd, buffer, sizeof buffer);
      closed = closed || n <= 0;
      const int to = from.fd == client ? server : client;
      if (n > 0) held.push_back({SteadyClock::now() + delay, to, {buffer, buffer + n}});
    }
    // The other side learns of a close a delay later, as over a network.
    if (closed) std::this_thread::sleep_for(delay);
    while (!held.empty() && held.front().due <= SteadyClock::now()) {
      (void)!::write(held.front().to, held.front().bytes.data(), held.front().bytes.size());
      held.pop_front();
    }
    if (closed) {
      for (int fd : {client, server}) ::close(fd);
      client = server = -1;
      held.clear();
    }
  }
  for (int fd : {client, server}) {
    if (fd >= 0) ::close(fd);
  }
}

std::vector<std::string> SentWithParity(const std::string& trace) {
  static const std::regex sent("-> ([0-9A-F]{2}) (MARK|SPACE)");
  std::vector<std::string> bytes;
  for (std::sregex_iterator match(trace.begin(), trace.end(), sent), end; match != end; ++match) {
    bytes.push_back((*match)[1].str() + " " + (*match)[2].str());
  }
  return bytes;
}

}  // namespace zenor9::testing
