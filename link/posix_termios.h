// The terminal settings of the POSIX backend that carry the ninth bit. Kept apart
// so that tests can check them: a pseudo-terminal drops PARENB, so a lost flag
// would not show on the pty tests, while a real line would then carry no ninth bit.
#pragma once

#include <termios.h>

#include "link/serial_port.h"

namespace zenor9 {

// Stick parity: PARENB|CMSPAR, with PARODD for Mark (the bit always 1) and
// without for Space (always 0). Received parity is not checked (INPCK, PARMRK
// and IGNPAR off): the register answers in Space while the address goes out in
// Mark, and a check would drop or mark its bytes.
void SetStickParity(termios& settings, ParityMode mode);

}  // namespace zenor9
