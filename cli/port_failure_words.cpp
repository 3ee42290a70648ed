#include "cli/port_failure_words.h"

#include <array>

#include "cli/outcome.h"
#include "diagnosis/port_facts.h"
#include "i18n/system_error.h"

namespace zenor9::cli {

namespace {

struct FailureNames {
  const char* text;  // for people, a key for Tr()
  const char* key;   // for scripts
};

// In the order of PortFailure.
constexpr std::array<FailureNames, 7> kFailureNames{{
    {N_("opened"), "opened"},
    {N_("missing"), "missing"},
    {N_("not a serial device"), "not-serial"},
    {N_("permission denied"), "permission-denied"},
    {N_("held by another program"), "busy"},
    {N_("no UART behind this name"), "no-uart"},
    {N_("device error"), "device-error"},
}};
static_assert(kFailureNames.size() == static_cast<std::size_t>(PortFailure::DeviceError) + 1);

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

// In the order of PortDetail; SystemError is the system's error number's.
constexpr std::array<const char*, 12> kDetailTexts{{
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
}};
static_assert(kDetailTexts.size() == static_cast<std::size_t>(PortDetail::SystemError) + 1);

// What more is known, in words; empty when nothing is.
std::string DetailText(const OpenFailureDetail& detail) {
  if (detail.what == PortDetail::SystemError) return i18n::SystemErrorText(detail.systemError);
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
  std::string text = PortFailureText(failure);
  const std::string more = DetailText(detail);
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
      // What the system said, or what the name leads to, says more than the
      // class of the failure here.
      if (!more.empty()) text += ": " + more;
      break;
    default:
      break;
  }
  return text;
}

}  // namespace zenor9::cli
