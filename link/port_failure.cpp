#include "link/serial_port.h"

#include <array>

#include "i18n/text.h"

namespace zenor9 {

namespace {

struct FailureNames {
  const char* text;  // for people, a key for Tr()
  const char* key;   // for scripts
};

using i18n::N_;

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

}  // namespace

const char* PortFailureText(PortFailure failure) {
  return NamesOf(failure).text;
}

const char* PortFailureKey(PortFailure failure) {
  return NamesOf(failure).key;
}

}  // namespace zenor9
