#include "cli/port_failure_words.h"

#include <array>

#include "cli/outcome.h"
#include "diagnosis/port_facts.h"
#include "i18n/system_error.h"
#include "link/rfc2217_port.h"

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
    {N_("the server cannot be reached"), "unreachable"},
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

// In the order of PortDetail; nullptr where DetailText words the detail from
// what it carries (the system's error number, the resolver's code, the
// server's text, the time waited, the parities).
constexpr std::array<const char*, 26> kDetailTexts{{
    nullptr,
    N_("no device named"),
    N_("it is a folder"),
    N_("it is a FIFO"),
    N_("it is a file"),
    N_("it is a pipe or socket"),
    N_("it is no character device"),
    N_("it is a device, but no terminal"),
    N_("another copy of zenor9 uses it"),
    N_("the serial driver found no UART there"),
    N_("no device answers to this name"),
    nullptr,
    N_("it is no rfc2217://HOST:PORT"),
    N_("the host is a name or an IP address (in [ ] when it has colons)"),
    N_("the port is a number from 1 to 65535"),
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    N_("the server refused COM-PORT-OPTION"),
    N_("the server refused binary transmission"),
    nullptr,
    N_("the server refused the connection"),
    nullptr,
    N_("it sent a stream of data instead of telnet answers"),
    N_("stopped before the server answered"),
}};
static_assert(kDetailTexts.size() == static_cast<std::size_t>(PortDetail::Stopped) + 1);

// The details that say all of what happened to a remote line, so that no
// class of failure goes before them ("the server refused the connection").
bool SaysItAll(PortDetail detail) {
  return detail == PortDetail::Refused || detail == PortDetail::NoConnectAnswer ||
         detail == PortDetail::ServerClosed;
}

// RFC 2217's names of its parity codes, the same in every language.
std::string ParityName(uint8_t code) {
  static constexpr std::array<const char*, 6> kNames{{"", "NONE", "ODD", "EVEN", "MARK", "SPACE"}};
  if (code >= 1 && code < kNames.size()) return kNames[code];
  return Tr("code %s", static_cast<int>(code));
}

// What more is known, in words; empty when nothing is.
std::string DetailText(const OpenFailureDetail& detail) {
  const uint32_t negotiationSeconds = kNegotiationTimeoutMs / 1000;
  switch (detail.what) {
    case PortDetail::NoConnectAnswer:
      return Tr("the server did not answer within %s s", kConnectTimeoutMs / 1000);
    case PortDetail::SystemError:
      return i18n::SystemErrorText(detail.systemError);
    case PortDetail::ResolverError:
      return i18n::ResolverErrorText(detail.resolverError);
    case PortDetail::ServerClosed:
      if (detail.serverText.empty()) return Tr("the server closed the connection");
      return Tr("the server closed the connection saying \"%s\"", detail.serverText);
    case PortDetail::NoTelnetAnswer:
      return Tr("no telnet answer within %s s", negotiationSeconds);
    case PortDetail::NoParityAnswer:
      return Tr("no answer to SET-PARITY within %s s", negotiationSeconds);
    case PortDetail::ParityOtherwise:
      return Tr("the server answered %s parity with %s: it cannot send the ninth bit",
                ParityName(detail.parityAsked), ParityName(detail.parityAnswered));
    default:
      break;
  }
  const auto index = static_cast<std::size_t>(detail.what);
  const char* text = index < kDetailTexts.size() ? kDetailTexts[index] : nullptr;
  return text == nullptr ? std::string() : Tr(text);
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
                                const OpenFailureDetail& detail) {
  const std::string more = DetailText(detail);
  if (SaysItAll(detail.what)) return more;
  std::string text = PortFailureText(failure);
  switch (failure) {
    case PortFailure::Busy:
      text += HoldersText(diag::ProcessesHolding(device));
      break;
    case PortFailure::PermissionDenied:
      if (const std::string hint = diag::GroupHint(device); !hint.empty()) text += "; " + hint;
      break;
    case PortFailure::DeviceError:
    case PortFailure::NoUart:
    case PortFailure::NotSerial:
    case PortFailure::BadAddress:
    case PortFailure::Unresolved:
    case PortFailure::Unreachable:
    case PortFailure::NoRfc2217:
    case PortFailure::NoStickParity:
      // What the system or the server said, or what the name leads to, says
      // more than the class of the failure here.
      if (!more.empty()) text += ": " + more;
      break;
    default:
      break;
  }
  return text;
}

}  // namespace zenor9::cli
