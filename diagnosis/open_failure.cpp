#include "diagnosis/open_failure.h"

#include "diagnosis/port_facts.h"
#include "i18n/text.h"

namespace zenor9::diag {

using i18n::Tr;

namespace {

// The programs that hold the device, and the virtual register that serves it
// (which keeps it open without keeping anyone out) named as such.
std::string HoldersText(const std::vector<ProcessInfo>& holders) {
  std::string programs;
  std::string registers;
  for (const ProcessInfo& holder : holders) {
    if (holder.virtualRegister) {
      registers += "; " + Tr("the virtual register zenor9 sim (pid %s) serves this device",
                             holder.pid);
    } else {
      programs += (programs.empty() ? ": " : ", ") + Tr("%s (pid %s)", holder.name, holder.pid);
    }
  }
  return programs + registers;
}

}  // namespace

std::string DescribeOpenFailure(const std::string& device, PortFailure failure,
                                const std::string& detail) {
  std::string text = Tr(PortFailureText(failure));
  switch (failure) {
    case PortFailure::Busy:
      text += HoldersText(ProcessesHolding(device));
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
