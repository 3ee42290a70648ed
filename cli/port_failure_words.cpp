#include "cli/port_failure_words.h"

#include <array>

#include "cli/outcome.h"
#include "diagnosis/port_facts.h"

namespace zenor9::cli {

namespace {

struct FailureNames {
  const char* text;  // for people, a key for Tr()
  const char* key;   // for scripts
};

// In the order of PortFailure.
constexpr std::array<FailureNames, 12> kFailureNames{{
    {N_("opened"), "opened"},
    {N_("missing"), "missing"},
    {N_("not a serial device"), "not-serial"},
    {N_("permission denied"), "permission-denied"},
    {N_("held by another program"), "busy"},
    {N_("no UART behind this name"), "no-uart"},
    {N_("device error"), "device-error"},
    {N_("not a remote line's address"), "bad-address"},
    {N_("the server's name does not resolve"), "unresolved"},
    {N_("the server does not answer"), "unreachable"},
    {N_("the server speaks no RFC 2217"), "no-rfc2217"},
    {N_("the server cannot send mark and space parity"), "no-stick-parity"},
}};
static_assert(kFailureNames.size() == static_cast<std::size_t>(PortFailure::NoStickParity) + 1);

const FailureNames& NamesOf(PortFailure failure) {
  const auto index = static_cast<std::size_t>(failure);
  return index < kFailureNames.size() ? kFailureNames[index] : kFailureNames.back();
}

// The programs that hold the device, and the virtual register that serves it
// (which keeps it open without keeping anyone out) named as such.
std::string HoldersText(const std::vector<diag::ProcessInfo>& holders) {
  std::string programs;
  std::string registers;
  for (const diag::ProcessInfo& holder : holders) {
    if (holder.virtualRegister) {
      registers +=
          "; " + Tr("the virtual register zenor9 sim (pid %s) serves this device", holder.pid);
    } else {
      programs += (programs.empty() ? ": " : ", ") + Tr("%s (pid %s)", holder.name, holder.pid);
    }
  }
  return programs + registers;
}

}  // namespace

const char* PortFailureText(PortFailure failure) {
  return Tr(NamesOf(failure).text);
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
      text += HoldersText(diag::ProcessesHolding(device));
      break;
    case PortFailure::PermissionDenied:
      if (const std::string hint = diag::GroupHint(device); !hint.empty()) text += "; " + hint;
      break;
    case PortFailure::Missing:
    case PortFailure::NotSerial:
    case PortFailure::None:
      break;
    default:
      // The system's or the server's own words say more than the class of the
      // failure here.
      if (!detail.empty()) text += ": " + detail;
      break;
  }
  return text;
}

}  // namespace zenor9::cli
