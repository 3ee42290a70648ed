// The terminal settings of the POSIX backend that carry the ninth bit. Kept apart
// so that tests can check them: a pseudo-terminal drops PARENB, so a lost flag
// would not show on the pty tests, while a real line would then carry no ninth bit.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cerrno>
#include <memory>

#include "link/serial_port.h"

namespace zenor9 {

// The system calls the port makes on its terminal. A signal that arrives during
// one of them makes it fail with EINTR, without effect: a parity switch
// (tcsetattr with TCSADRAIN waits for the output to drain) would then leave the
// old ninth bit on the next frame. Tests put a layer here that fails so.
struct TerminalCalls {
  int (*getAttributes)(int fd, termios* settings);
  int (*setAttributes)(int fd, int when, const termios* settings);
  int (*flush)(int fd, int queues);
  ssize_t (*read)(int fd, void* buffer, size_t count);
  ssize_t (*write)(int fd, const void* data, size_t count);
  int (*queuedCount)(int fd, int* count);  // FIONREAD
};

// The calls as the system makes them.
const TerminalCalls& SystemTerminalCalls();

// A port over `fd`, a terminal already opened and set up, which the port owns
// from now on.
std::unique_ptr<SerialPort> AdoptTerminal(int fd,
                                          const TerminalCalls& calls = SystemTerminalCalls());

// Repeats `call` while a signal cuts it short (-1 with EINTR).
template <typename Call>
auto RetryOnInterrupt(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// Stick parity: PARENB|CMSPAR, with PARODD for Mark (the bit always 1) and
// without for Space (always 0). Received parity is not checked (INPCK, PARMRK
// and IGNPAR off): the register answers in Space while the address goes out in
// Mark, and a check would drop or mark its bytes.
void SetStickParity(termios& settings, ParityMode mode);

}  // namespace zenor9
