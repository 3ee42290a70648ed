// Byte tracing: a serial port that forwards to the real one and prints every
// byte that crosses it, and the line format shared with the virtual register.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "link/serial_port.h"

namespace zenor9::cli {

// One trace line: "   412.305 ms  -> F8 MARK" for a byte sent to the register
// (with its ninth bit), "   412.871 ms  <- F8" for a byte it sent back.
std::string TraceLine(double elapsedMs, bool toRegister, std::optional<ParityMode> parity,
                      uint8_t value);

// Wraps every port that `inner` opens so that its bytes are printed to `out`,
// timed from the moment this opener was made; a byte the port would not take
// is printed with " not sent" after it.
PortOpener TracingOpener(PortOpener inner, std::FILE* out);

}  // namespace zenor9::cli
