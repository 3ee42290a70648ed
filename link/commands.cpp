#include "link/commands.h"

#include <array>
#include <string>

#include "link/frame.h"

namespace zenor9 {

namespace {

uint8_t Low(uint16_t word) {
  return static_cast<uint8_t>(word & 0xFF);
}
uint8_t High(uint16_t word) {
  return static_cast<uint8_t>(word >> 8);
}

// A wait of the protocol on this channel: an answer over the network comes
// back a round trip later than on a local line.
uint32_t OnThisLine(const SerialChannel& channel, uint32_t localMs) {
  return localMs + RoundTripMs(channel);
}

// A wrong byte where an echo or acknowledgement belongs (noise, a garbled or
// doubled answer) is often followed by the answer itself a byte or an
// adapter's latency later, after the purge that starts the next command. Wait
// for the line to fall silent and drop it all, then fail.
bool FailAfterTheRestOfTheExchange(SerialChannel& channel) {
  DropInputUntilQuiet(channel);
  return false;
}

// Selects the register: the address byte alone in Mark, echoed back within
// kEchoWaitMs; leaves the line in Space for the frame that follows.
bool AddressRegister(SerialChannel& channel, uint8_t addressByte) {
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Mark);
  WriteBytes(channel, &addressByte, 1);
  ExpectAnswer(channel, 1);
  if (!WaitForInput(channel, 1, OnThisLine(channel, kEchoWaitMs))) return false;
  uint8_t echo = 0;
  ReadBytes(channel, &echo, 1);
  if (echo != addressByte) return FailAfterTheRestOfTheExchange(channel);
  SetParityMode(channel, ParityMode::Space);
  return true;
}

// Sends a request frame and checks that the register acknowledges it with the
// frame's check byte; a reply frame of `replySize` bytes follows it.
bool SendAcknowledgedFrame(SerialChannel& channel, const std::vector<uint8_t>& frame,
                           uint32_t replySize) {
  WriteBytes(channel, frame.data(), static_cast<uint32_t>(frame.size()));
  ExpectAnswer(channel, 1 + replySize);
  if (!WaitForInput(channel, 1, OnThisLine(channel, kAckWaitMs))) return false;
  uint8_t ack = 0;
  ReadBytes(channel, &ack, 1);
  if (ack != frame.back()) return FailAfterTheRestOfTheExchange(channel);
  return true;
}

}  // namespace

void DropLateAnswers(SerialChannel& channel) {
  DropInputUntilAnswersEnd(channel, OnThisLine(channel, kLatestAnswerMs));
}

int32_t VersionCodeFromBytes(uint8_t first, uint8_t second) {
  const std::string digits = std::to_string(first >> 4) + std::to_string(first & 0x0F) +
                             std::to_string(second >> 4) + std::to_string(second & 0x0F);
  return std::stoi(digits);  // at most "15151515": always fits
}

IdentifyAnswer IdentifyRegister(SerialChannel& channel, uint8_t addressByte, int32_t& versionCode) {
  PurgeChannel(channel, kPurgeAll);
  const std::array<uint8_t, 1> payload{kCommandIdentify};
  const std::vector<uint8_t> frame = BuildLinkFrame(payload);

  SetParityMode(channel, ParityMode::Mark);
  WriteBytes(channel, &addressByte, 1);
  ExpectAnswer(channel, 1);
  DelayMs(channel, OnThisLine(channel, kIdentifyEchoDelayMs));
  uint8_t received = 0;
  ReadBytes(channel, &received, 1);
  if (received != addressByte) return IdentifyAnswer::None;

  SetParityMode(channel, ParityMode::Space);
  WriteBytes(channel, frame.data(), static_cast<uint32_t>(frame.size()));
  ExpectAnswer(channel, 1 + kIdentifyReplySize);
  DelayMs(channel, OnThisLine(channel, kIdentifyReplyDelayMs));
  received = 0;
  ReadBytes(channel, &received, 1);
  if (received != frame.back()) return IdentifyAnswer::None;

  // Bytes that do not come read as 0; the sum test then decides.
  std::array<uint8_t, kIdentifyReplySize> reply{};
  ReadBytes(channel, &reply[0], 1);
  ReadBytes(channel, &reply[1], kIdentifyReplySize - 1);
  if (!FrameSumIsValid(reply)) {
    versionCode = 0;
    return IdentifyAnswer::BadReply;
  }
  versionCode = VersionCodeFromBytes(reply[6], reply[7]);
  return IdentifyAnswer::Version;
}

bool ReadRegisterByte(SerialChannel& channel, uint8_t addressByte, uint16_t ramAddress,
                      uint8_t& value) {
  if (!AddressRegister(channel, addressByte)) return false;
  const std::array<uint8_t, 4> payload{kCommandReadRam, Low(ramAddress), High(ramAddress), 0x01};
  if (!SendAcknowledgedFrame(channel, BuildLinkFrame(payload), kReadReplySize)) return false;
  if (!WaitForInput(channel, kReadReplySize, OnThisLine(channel, kReplyWaitMs))) return false;
  std::array<uint8_t, kReadReplySize> reply{};
  for (uint8_t& byte : reply) ReadBytes(channel, &byte, 1);
  value = reply[1];
  // A byte already come behind the reply: the frame is not the register's as it
  // was sent. A byte added on the line passes the sum test once in 256 times,
  // with another value in it; nothing is waited for, so a clean read costs
  // nothing more.
  if (InputQueueCount(channel) > 0) return FailAfterTheRestOfTheExchange(channel);
  return FrameSumIsValid(reply);
}

bool WriteRegisterByte(SerialChannel& channel, uint8_t addressByte, uint16_t ramAddress,
                       uint8_t value) {
  if (!AddressRegister(channel, addressByte)) return false;
  const std::array<uint8_t, 5> payload{kCommandWriteRam, Low(ramAddress), High(ramAddress), 0x01,
                                       value};
  return SendAcknowledgedFrame(channel, BuildLinkFrame(payload), 0);
}

}  // namespace zenor9
