// POSIX: the signal handler only writes the signal's number into a pipe, which a
// socket notifier reads on the GUI thread between two events. SA_RESTART lets
// the calls the signal interrupts go on; the serial port's own calls repeat
// themselves where the system does not restart them.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "app/stop_signals.h"

namespace zenor9 {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

int signalPipe[2] = {-1, -1};

void NoteSignal(int signal) {
  const int savedErrno = errno;
  const char number = static_cast<char>(signal);
  (void)!::write(signalPipe[1], &number, 1);
  errno = savedErrno;
}

}  // namespace

void StopSignalWatcher::Catch() {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char numbers[16];
    while (::read(signalPipe[0], numbers, sizeof numbers) > 0) {
    }
    CloseWhenIdle();
  });
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

void StopSignalWatcher::Release() {
  if (signalPipe[0] < 0) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
  for (int& fd : signalPipe) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace zenor9
