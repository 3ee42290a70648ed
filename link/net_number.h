// Net numbers 0 to 99 and their address bytes (the bitwise NOT of the net number
// in packed BCD), and the scan that finds the register on the line.
#pragma once

#include <cstdint>
#include <functional>

#include "link/channel.h"

namespace zenor9 {

inline constexpr uint8_t kInitialAddressByte = 0xFF;  // net number 0
inline constexpr uint8_t kNetNumberCount = 100;
inline constexpr uint32_t kProbeWaitMs = 10;

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
// then a 10 ms wait. `received` holds the byte that came back, if any.
ProbeResult ProbeAddressByte(SerialChannel& channel, uint8_t candidate, uint8_t& received);

// Probes net numbers 0 to 99 in order and stops at the first answer. True when a
// register answered its own address byte, which is then stored in `addressByte`;
// otherwise `addressByte` is left alone. A byte that differs from the probe ends
// the scan at once with false, and so does a stop requested on the channel. The
// line is left in Mark.
// `onProbe`, when given, learns the number of each probe (1 to 100) before it
// goes out, for a progress display.
using ProbeObserver = std::function<void(int probe)>;
bool DetectAddressByte(SerialChannel& channel, uint8_t& addressByte,
                       const ProbeObserver& onProbe = {});

}  // namespace zenor9
