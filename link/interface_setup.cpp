#include "link/interface_setup.h"

#include "link/commands.h"
#include "link/net_number.h"

namespace zenor9 {

SetupOutcome SetUpInterface(SerialChannel& channel, const SetupRequest& request,
                            uint8_t& addressByte, int32_t& versionCode) {
  CloseChannel(channel);
  if (!OpenChannelDevice(request.device, channel)) return SetupOutcome::PortUnavailable;
  if (request.autoDetect &&
      !DetectAddressByte(channel, addressByte, request.onProbe, request.onStray)) {
    return SetupOutcome::NoAnswerToScan;
  }
  switch (IdentifyRegisterAnswer(channel, addressByte, versionCode)) {
    case IdentifyAnswer::None:
      return SetupOutcome::NoAnswerToIdentify;
    case IdentifyAnswer::BadReply:
      return SetupOutcome::BadIdentifyReply;
    case IdentifyAnswer::Version:
      break;
  }
  if (versionCode != kSupportedVersionCode) return SetupOutcome::UnsupportedVersion;
  return SetupOutcome::Connected;
}

}  // namespace zenor9
