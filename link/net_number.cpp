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

uint32_t ProbeWaitMs(const SerialChannel& channel) {
  return kProbeWaitMs + RoundTripMs(channel);
}

ProbeResult ProbeAddressByte(SerialChannel& channel, uint8_t candidate, uint8_t& received) {
  PurgeChannel(channel, kPurgeBothQueues);
  WriteBytes(channel, &candidate, 1);
  ExpectAnswer(channel, 1);
  WaitForInput(channel, 1, ProbeWaitMs(channel));  // only the queue test below decides
  if (InputQueueCount(channel) < 1) return ProbeResult::Silent;
  received = 0;
  ReadBytes(channel, &received, 1);
  return received == candidate ? ProbeResult::Answered : ProbeResult::Other;
}

void WalkNetNumbers(SerialChannel& channel, const ProbeObserver& beforeProbe,
                    const ProbeVerdict& afterProbe) {
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Mark);
  for (uint8_t net = 0; net < kNetNumberCount && !StopRequested(channel); ++net) {
    if (beforeProbe) beforeProbe(net + 1);
    ProbeReport report{net, ProbeCandidate(net), ProbeResult::Silent, 0};
    report.result = ProbeAddressByte(channel, report.candidate, report.received);
    if (!afterProbe(report)) return;
    // After a byte that was not the probe, the rest of what caused it may
    // still be on its way.
    if (report.result == ProbeResult::Other) DropInputUntilQuiet(channel);
    if (report.result != ProbeResult::Silent) SetParityMode(channel, ParityMode::Mark);
  }
}

bool DetectAddressByte(SerialChannel& channel, uint8_t& addressByte, const ProbeObserver& onProbe,
                       const StrayObserver& onStray) {
  bool found = false;
  WalkNetNumbers(channel, onProbe, [&](const ProbeReport& report) {
    if (report.result == ProbeResult::Answered) {
      addressByte = report.candidate;
      found = true;
    }
    if (report.result == ProbeResult::Other && onStray) onStray(report);
    return report.result == ProbeResult::Silent;
  });
  return found;
}

std::optional<uint8_t> LateEchoOf(const ProbeReport& report) {
  if (report.result != ProbeResult::Other) return std::nullopt;
  for (uint8_t earlier = 0; earlier < report.net; ++earlier) {
    if (ProbeCandidate(earlier) == report.received) return earlier;
  }
  return std::nullopt;
}

}  // namespace zenor9
