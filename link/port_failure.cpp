#include "link/serial_port.h"

#include <array>

namespace zenor9 {

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

}  // namespace

const char* PortFailureText(PortFailure failure) {
  return NamesOf(failure).text;
}

const char* PortFailureKey(PortFailure failure) {
  return NamesOf(failure).key;
}

}  // namespace zenor9
