// The three register commands: identify, read one RAM byte, write one RAM byte.
// Each returns false on its first failed step; none reports anything itself.
#pragma once

#include <cstdint>

#include "link/channel.h"

namespace zenor9 {

inline constexpr uint8_t kCommandIdentify = 0x14;
inline constexpr uint8_t kCommandReadRam = 0x06;
inline constexpr uint8_t kCommandWriteRam = 0x05;

// Waits of the exchanges, in milliseconds.
inline constexpr uint32_t kEchoWaitMs = 500;
inline constexpr uint32_t kAckWaitMs = 700;
inline constexpr uint32_t kReplyWaitMs = 700;
inline constexpr uint32_t kIdentifyEchoDelayMs = 40;
inline constexpr uint32_t kIdentifyReplyDelayMs = 400;
// After a wrong echo or acknowledgement, the silence that ends the failed
// exchange: longer than the 16 ms a USB adapter's latency timer may hold a byte.
inline constexpr uint32_t kStrayQuietMs = 20;

// Sizes of the frames that follow an acknowledgement.
inline constexpr uint32_t kIdentifyReplySize = 11;
inline constexpr uint32_t kReadReplySize = 3;

// How the register answered identify.
enum class IdentifyAnswer {
  None,      // no echo, or no acknowledgement of the frame
  BadReply,  // acknowledged, but the reply frame failed its sum test (noise, a
             // reply cut short, two registers answering to one net number)
  Version,   // a reply that passed the sum test
};

// Identify: the register echoed `addressByte` and acknowledged the identify
// frame unless the answer is None. `versionCode` is then the decimal number
// spelled by the nibbles of reply bytes 6 and 7 (105 for firmware 1.0.5), or 0
// when the reply failed its sum test (BadReply). It is left alone for None.
IdentifyAnswer IdentifyRegister(SerialChannel& channel, uint8_t addressByte, int32_t& versionCode);
// True when the register at `addressByte` returned the byte at `ramAddress` in a
// reply that passed the sum test. `value` is meaningful only then.
bool ReadRegisterByte(SerialChannel& channel, uint8_t addressByte, uint16_t ramAddress,
                      uint8_t& value);
// True when the register at `addressByte` acknowledged the write.
bool WriteRegisterByte(SerialChannel& channel, uint8_t addressByte, uint16_t ramAddress,
                       uint8_t value);

// The version code spelled by two BCD version bytes: each nibble written in
// decimal, the four texts joined (0x01 0x05 gives 105, 0x10 0x23 gives 1023).
int32_t VersionCodeFromBytes(uint8_t first, uint8_t second);

}  // namespace zenor9
