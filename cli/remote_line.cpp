#include "cli/remote_line.h"

#include "link/commands.h"
#include "link/net_number.h"
#include "link/rfc2217_port.h"

namespace zenor9::cli {

std::string RemoteAddressProblem(const std::string& device) {
  PortDetail problem = PortDetail::None;
  if (ParseRemoteAddress(device, problem)) return {};
  // Cut between whole characters: a byte cut out of one would make the
  // message no UTF-8 text.
  return Tr("a remote line is rfc2217://HOST:PORT, PORT 1 to 65535, not %s",
            i18n::Abridged(device, 40));
}

std::string RoundTripTraceLine(uint32_t roundTripMs) {
  const auto grown = [roundTripMs](uint32_t ms) { return std::to_string(ms + roundTripMs); };
  return "# round trip " + std::to_string(roundTripMs) + " ms: probe wait " + grown(kProbeWaitMs) +
         " ms, echo wait " + grown(kEchoWaitMs) + " ms, acknowledgement and reply waits " +
         grown(kAckWaitMs) + " ms, identify delays " + grown(kIdentifyEchoDelayMs) + " and " +
         grown(kIdentifyReplyDelayMs) + " ms";
}

void NoteRoundTrip(const SerialChannel& channel, const std::string& device, Outcome& outcome) {
  if (!IsRemoteDevice(device) || !channel.IsOpen()) return;
  outcome.roundTripMs = static_cast<int>(RoundTripMs(channel));
  outcome.probeWaitMs = static_cast<int>(ProbeWaitMs(channel));
}

std::string RoundTripText(const Outcome& outcome) {
  if (!outcome.roundTripMs || !outcome.probeWaitMs) return {};
  return Tr("round trip to the remote line %s ms: each probe waited %s ms", *outcome.roundTripMs,
            *outcome.probeWaitMs);
}

}  // namespace zenor9::cli
