// Net numbers 0 to 99 and their address bytes (the bitwise NOT of the net number
// in packed BCD), and the scan that finds the register on the line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "link/channel.h"

namespace zenor9 {

inline constexpr uint8_t kInitialAddressByte = 0xFF;  // net number 0
inline constexpr uint8_t kNetNumberCount = 100;
inline constexpr uint32_t kProbeWaitMs = 10;  // on a local line

// A probe's wait on `channel`: kProbeWaitMs and the round trip to a remote
// line, so that an echo that crosses the network is not taken for the next
// probe's.
uint32_t ProbeWaitMs(const SerialChannel& channel);

// Packed BCD of the first two decimal digits of n (5 gives 0x05, 37 gives 0x37,
// 100 gives 0x10, 255 gives 0x25).
uint8_t NetNumberToBcd(uint8_t number);
// The decimal number spelled by the two nibbles, modulo 256 (0x37 gives 37; 0xFF
// gives 1515 mod 256 = 235).
uint8_t BcdToNetNumber(uint8_t bcd);

uint8_t AddressByteOfNetNumber(uint8_t number);
uint8_t NetNumberOfAddressByte(uint8_t addressByte);
// The address byte of the i-th probe of a scan, i from 0 to 99.
uint8_t ProbeCandidate(uint8_t index);

enum class ProbeResult {
  Silent,    // nothing arrived within the probe's wait
  Answered,  // the probed address byte came back
  Other,     // a different byte came back: noise, a collision, a late answer
};

// One probe: the candidate alone (in the parity already set, Mark for a scan),
// then its wait (ProbeWaitMs). `received` holds the byte that came back, if any.
ProbeResult ProbeAddressByte(SerialChannel& channel, uint8_t candidate, uint8_t& received);

// Learns the number of each probe of a walk (1 to 100) before it goes out, for a
// progress display.
using ProbeObserver = std::function<void(int probe)>;

// What one probe of a walk got back.
struct ProbeReport {
  uint8_t net;        // the net number probed, 0 to 99
  uint8_t candidate;  // its address byte
  ProbeResult result;
  uint8_t received;  // the byte that came back, when one did
};

// Told of every probe's result; returns whether the walk goes on.
using ProbeVerdict = std::function<bool(const ProbeReport& report)>;

// The one walk over net numbers 0 to 99 in order, in Mark, each probe as
// ProbeAddressByte sends it. `beforeProbe` (optional) learns each probe's number
// before it goes out; `afterProbe` learns what it got and decides whether the
// walk goes on. After a probe that got something and a verdict to go on, the
// line is set to Mark again (the verdict may have used it), and after a stray
// byte the rest of what caused it is let through and dropped, so that it is not
// taken for the answer to the next probe. A stop requested on the channel ends
// the walk before the next probe.
void WalkNetNumbers(SerialChannel& channel, const ProbeObserver& beforeProbe,
                    const ProbeVerdict& afterProbe);

// Learns the probe whose stray byte ended a scan early.
using StrayObserver = std::function<void(const ProbeReport& report)>;

// Probes net numbers 0 to 99 in order and stops at the first answer. True when a
// register answered its own address byte, which is then stored in `addressByte`;
// otherwise `addressByte` is left alone. A byte that differs from the probe ends
// the scan at once with false (`onStray` learns of it), and so does a stop
// requested on the channel. The line is left in Mark.
bool DetectAddressByte(SerialChannel& channel, uint8_t& addressByte,
                       const ProbeObserver& onProbe = {}, const StrayObserver& onStray = {});

// The net number of an earlier probe whose address byte a stray byte is: the
// echo of that probe, come back after its wait (an adapter holding answers
// back); nothing when the byte is no earlier probe's.
std::optional<uint8_t> LateEchoOf(const ProbeReport& report);

}  // namespace zenor9
