#include "operations/setup.h"

#include "link/commands.h"

namespace zenor9 {

std::string FirmwareText(int32_t versionCode) {
  if (versionCode < 0 || versionCode > 9999) return std::to_string(versionCode);
  return std::to_string(versionCode / 100) + "." + std::to_string(versionCode / 10 % 10) + "." +
         std::to_string(versionCode % 10);
}

namespace {

SetupOutcome OutcomeOfIdentify(IdentifyAnswer answer, int32_t versionCode) {
  switch (answer) {
    case IdentifyAnswer::None:
      return SetupOutcome::NoAnswerToIdentify;
    case IdentifyAnswer::BadReply:
      return SetupOutcome::BadIdentifyReply;
    case IdentifyAnswer::Version:
      break;
  }
  return IsSupportedVersion(versionCode) ? SetupOutcome::Connected
                                         : SetupOutcome::UnsupportedVersion;
}

SetupResult EndedWith(SetupOutcome outcome, std::optional<ProbeReport> stray = std::nullopt,
                      int retries = 0) {
  return {outcome, stray, retries};
}

}  // namespace

SetupResult SetUpInterface(Session& session, const SetupRequest& request) {
  CloseChannel(session.channel);
  session.identified.reset();
  if (!request.port.HasDevice() || !OpenChannelDevice(request.port.Device(), session.channel)) {
    return EndedWith(SetupOutcome::PortUnavailable);
  }
  if (request.autoDetect) {
    std::optional<ProbeReport> stray;
    const bool found = DetectAddressByte(session.channel, session.addressByte, request.onProbe,
                                         [&stray](const ProbeReport& report) { stray = report; });
    // A scan whose waits a stop cut short may have missed its register.
    if (StopRequested(session.channel)) return EndedWith(SetupOutcome::Stopped);
    if (!found && PortLost(session.channel)) return EndedWith(SetupOutcome::PortLost);
    if (!found) return EndedWith(SetupOutcome::NoAnswerToScan, stray);
  }
  return IdentifyRegisterAt(session, session.addressByte, request.policy);
}

SetupResult IdentifyRegisterAt(Session& session, uint8_t addressByte,
                               const ExchangePolicy& policy) {
  session.addressByte = addressByte;
  session.identified.reset();
  SetupResult result;
  IdentifyAnswer answer = IdentifyAnswer::None;
  int32_t versionCode = session.versionCode;
  TryExchange(session.channel, policy, Exchange::Identify, addressByte, result.retries, [&] {
    answer = IdentifyRegister(session.channel, addressByte, versionCode);
    return answer == IdentifyAnswer::Version;
  });
  // An identify that overlapped a stop is no answer, whatever it got.
  if (StopRequested(session.channel))
    return EndedWith(SetupOutcome::Stopped, std::nullopt, result.retries);
  if (answer == IdentifyAnswer::None && PortLost(session.channel)) {
    return EndedWith(SetupOutcome::PortLost, std::nullopt, result.retries);
  }
  if (answer != IdentifyAnswer::None) session.versionCode = versionCode;
  result.outcome = OutcomeOfIdentify(answer, versionCode);
  if (result.Connected()) {
    session.memoryMap.SelectMemoryMap(VersionLetter(versionCode));
    session.identified = addressByte;
  }
  return result;
}

}  // namespace zenor9
