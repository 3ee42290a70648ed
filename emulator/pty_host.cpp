#include "emulator/pty_host.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "link/clock.h"

namespace zenor9::emu {

namespace {

// Linux's pty drops PARENB from the slave's settings but keeps CMSPAR and
// PARODD, and the master reads the slave's settings: CMSPAR with PARODD is Mark,
// CMSPAR alone Space.
ParityMode ParityOfSlave(int master) {
  termios settings{};
  if (::tcgetattr(master, &settings) != 0) return ParityMode::Space;
  const bool stick = (settings.c_cflag & CMSPAR) != 0;
  const bool odd = (settings.c_cflag & PARODD) != 0;
  return stick && odd ? ParityMode::Mark : ParityMode::Space;
}

void MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return;
  ::cfmakeraw(&settings);
  ::tcsetattr(fd, TCSANOW, &settings);
}

struct Pending {
  uint32_t dueMs;
  std::vector<uint8_t> bytes;
};

}  // namespace

PtyHost::PtyHost(Line& line) : line_(line) {}

PtyHost::~PtyHost() {
  Stop();
}

bool PtyHost::Start() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname(master_) == nullptr) {
    Close();
    return false;
  }
  devicePath_ = ::ptsname(master_);
  slaveKeeper_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeeper_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
    Close();
    return false;
  }
  MakeRaw(slaveKeeper_);  // no echo, no line editing until the program sets its own
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  stop_ = false;
  thread_ = std::thread(&PtyHost::Serve, this);
  return true;
}

void PtyHost::Vanish() {
  Stop();
}

void PtyHost::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    const char wake = 1;
    (void)!::write(wake_[1], &wake, 1);
    thread_.join();
  }
  Close();
}

void PtyHost::Close() {
  for (int* fd : {&master_, &slaveKeeper_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void PtyHost::Serve() {
  SystemClock& clock = SystemClock::Instance();
  std::vector<Pending> pending;  // in order of due time
  while (!stop_) {
    int timeout = -1;
    if (!pending.empty()) {
      const auto wait = static_cast<int32_t>(pending.front().dueMs - clock.NowMs());
      timeout = std::max(wait, 0);
    }
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    ::poll(fds, 2, timeout);
    if (stop_) break;

    if ((fds[0].revents & POLLIN) != 0) {
      uint8_t buffer[256];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      const ParityMode parity = ParityOfSlave(master_);
      for (ssize_t i = 0; i < n; ++i) {
        const uint32_t now = clock.NowMs();
        for (Emission& emission : line_.Deliver(buffer[i], parity, now)) {
          const uint32_t due = now + emission.delayMs;
          auto later = std::find_if(pending.begin(), pending.end(), [due](const Pending& p) {
            return static_cast<int32_t>(p.dueMs - due) > 0;
          });
          pending.insert(later, Pending{due, std::move(emission.bytes)});
        }
      }
    }

    const uint32_t now = clock.NowMs();
    while (!pending.empty() && static_cast<int32_t>(pending.front().dueMs - now) <= 0) {
      const std::vector<uint8_t>& bytes = pending.front().bytes;
      if (::write(master_, bytes.data(), bytes.size()) > 0) line_.NoteToProgram(bytes, now);
      pending.erase(pending.begin());
    }
  }
}

}  // namespace zenor9::emu
