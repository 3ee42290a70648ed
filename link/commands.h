// The three register commands: identify, read one RAM byte, write one RAM byte.
// Each returns false on its first failed step; none reports anything itself.
#pragma once

#include <cstdint>

#include "link/channel.h"

namespace zenor9 {

inline constexpr uint8_t kCommandIdentify = 0x14;
inline constexpr uint8_t kCommandReadRam = 0x06;
inline constexpr uint8_t kCommandWriteRam = 0x05;

// Waits of the exchanges, in milliseconds, on a local line: on a remote one
// each grows by the channel's round trip (RoundTripMs).
inline constexpr uint32_t kEchoWaitMs = 500;
inline constexpr uint32_t kAckWaitMs = 700;
inline constexpr uint32_t kReplyWaitMs = 700;
inline constexpr uint32_t kIdentifyEchoDelayMs = 40;
inline constexpr uint32_t kIdentifyReplyDelayMs = 400;

// Sizes of the frames that follow an acknowledgement.
inline constexpr uint32_t kIdentifyReplySize = 11;
inline constexpr uint32_t kReadReplySize = 3;

// The longest after its request that any exchange still takes in an answer, on
// a local line: identify's reply, read after its delay with three read
// time-outs (the acknowledgement, the count byte, the other ten bytes).
inline constexpr uint32_t kLatestAnswerMs =
    kIdentifyReplyDelayMs + 2 * ReadTotalMs(1) + ReadTotalMs(kIdentifyReplySize - 1);

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

// Before a failed exchange is tried again: reads and drops what arrives until
// nothing of the answer to the bytes it sent can still come (it has come
// whole, or kLatestAnswerMs and the round trip have passed since the last of
// them) and the line is quiet. A register answers in order, so an answer that
// missed its wait holds back the answer to anything sent after it: tried
// sooner, the retry would take the late answer for its own and then meet its
// own answer where the next byte belongs.
void DropLateAnswers(SerialChannel& channel);

// The version code spelled by two BCD version bytes: each nibble written in
// decimal, the four texts joined (0x01 0x05 gives 105, 0x10 0x23 gives 1023).
int32_t VersionCodeFromBytes(uint8_t first, uint8_t second);

}  // namespace zenor9
