#include "diagnosis/open_failure.h"

#include "diagnosis/port_facts.h"
#include "i18n/text.h"

namespace zenor9::diag {

using i18n::Tr;

namespace {

std::string HoldersText(const std::vector<ProcessInfo>& holders) {
  std::string text;
  for (const ProcessInfo& holder : holders) {
    if (!text.empty()) text += ", ";
    text += Tr("%s (pid %s)", holder.name, holder.pid);
  }
  return text;
}

}  // namespace

std::string DescribeOpenFailure(const std::string& device, PortFailure failure,
                                const std::string& detail) {
  std::string text = Tr(PortFailureText(failure));
  switch (failure) {
    case PortFailure::Busy:
      if (const std::string holders = HoldersText(ProcessesHolding(device)); !holders.empty()) {
        text += ": " + holders;
      }
      break;
    case PortFailure::PermissionDenied:
      if (const std::string hint = GroupHint(device); !hint.empty()) text += "; " + hint;
      break;
    case PortFailure::DeviceError:
    case PortFailure::NoUart:
      // The system's own words say more than the class of the failure here.
      if (!detail.empty()) text += ": " + detail;
      break;
    default:
      break;
  }
  return text;
}

}  // namespace zenor9::diag
