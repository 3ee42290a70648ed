#include "link/net_number.h"

#include <string>

namespace zenor9 {

uint8_t NetNumberToBcd(uint8_t number) {
  std::string text = std::to_string(number);
  if (text.size() == 1) text.insert(text.begin(), '0');
  const unsigned high = static_cast<unsigned>(text[0] - '0');
  const unsigned low = static_cast<unsigned>(text[1] - '0');
  return static_cast<uint8_t>(high * 16 + (low & 0x0F));
}

uint8_t BcdToNetNumber(uint8_t bcd) {
  const std::string text = std::to_string(bcd >> 4) + std::to_string(bcd & 0x0F);
  return static_cast<uint8_t>(std::stoul(text) % 256);
}

uint8_t AddressByteOfNetNumber(uint8_t number) {
  return static_cast<uint8_t>(~NetNumberToBcd(number));
}

uint8_t NetNumberOfAddressByte(uint8_t addressByte) {
  return BcdToNetNumber(static_cast<uint8_t>(~addressByte));
}

uint8_t ProbeCandidate(uint8_t index) {
  const unsigned tens = index / 10;
  const unsigned units = index % 10;
  return static_cast<uint8_t>(0xFF - ((tens * 16 + units) % 256));
}

ProbeResult ProbeAddressByte(SerialChannel& channel, uint8_t candidate, uint8_t& received) {
  PurgeChannel(channel, kPurgeBothQueues);
  WriteBytes(channel, &candidate, 1);
  WaitForInput(channel, 1, kProbeWaitMs);  // only the queue test below decides
  if (InputQueueCount(channel) < 1) return ProbeResult::Silent;
  received = 0;
  ReadBytes(channel, &received, 1);
  return received == candidate ? ProbeResult::Answered : ProbeResult::Other;
}

bool DetectAddressByte(SerialChannel& channel, uint8_t& addressByte, const ProbeObserver& onProbe) {
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Mark);
  for (uint8_t index = 0; index < kNetNumberCount && !StopRequested(channel); ++index) {
    if (onProbe) onProbe(index + 1);
    const uint8_t candidate = ProbeCandidate(index);
    uint8_t received = 0;
    switch (ProbeAddressByte(channel, candidate, received)) {
      case ProbeResult::Answered:
        addressByte = candidate;
        return true;
      case ProbeResult::Other:
        return false;
      case ProbeResult::Silent:
        break;
    }
  }
  return false;
}

}  // namespace zenor9
