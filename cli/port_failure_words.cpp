#include "cli/port_failure_words.h"

#include <array>

#include "diagnosis/port_facts.h"

namespace zenor9::cli {

namespace {

struct FailureNames {
  const char* text;  // for people
  const char* key;   // for scripts
};

// In the order of PortFailure.
constexpr std::array<FailureNames, 7> kFailureNames{{
    {"opened", "opened"},
    {"missing", "missing"},
    {"not a serial device", "not-serial"},
    {"permission denied", "permission-denied"},
    {"held by another program", "busy"},
    {"no UART behind this name", "no-uart"},
    {"device error", "device-error"},
}};
static_assert(kFailureNames.size() == static_cast<std::size_t>(PortFailure::DeviceError) + 1);

const FailureNames& NamesOf(PortFailure failure) {
  const auto index = static_cast<std::size_t>(failure);
  return index < kFailureNames.size() ? kFailureNames[index] : kFailureNames.back();
}

std::string HoldersText(const std::vector<diag::ProcessInfo>& holders) {
  std::string text;
  for (const diag::ProcessInfo& holder : holders) {
    if (!text.empty()) text += ", ";
    text += holder.name + " (pid " + std::to_string(holder.pid) + ")";
  }
  return text;
}

}  // namespace

const char* PortFailureText(PortFailure failure) {
  return NamesOf(failure).text;
}

const char* PortFailureKey(PortFailure failure) {
  return NamesOf(failure).key;
}

const char* MapFaultKey(portmap::MapFault fault) {
  return fault == portmap::MapFault::Unreadable ? "map-unreadable" : "map-line-ignored";
}

std::string DescribeOpenFailure(const std::string& device, PortFailure failure,
                                const std::string& detail) {
  std::string text = PortFailureText(failure);
  switch (failure) {
    case PortFailure::Busy:
      if (const std::string holders = HoldersText(diag::ProcessesHolding(device));
          !holders.empty()) {
        text += ": " + holders;
      }
      break;
    case PortFailure::PermissionDenied:
      if (const std::string hint = diag::GroupHint(device); !hint.empty()) text += "; " + hint;
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

}  // namespace zenor9::cli
