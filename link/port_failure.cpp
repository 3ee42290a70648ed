#include "link/serial_port.h"

namespace zenor9 {

const char* PortFailureText(PortFailure failure) {
  switch (failure) {
    case PortFailure::None:
      return "opened";
    case PortFailure::Missing:
      return "missing";
    case PortFailure::NotSerial:
      return "not a serial device";
    case PortFailure::PermissionDenied:
      return "permission denied";
    case PortFailure::Busy:
      return "held by another program";
    case PortFailure::NoUart:
      return "no UART behind this name";
    case PortFailure::DeviceError:
      break;
  }
  return "device error";
}

const char* PortFailureKey(PortFailure failure) {
  switch (failure) {
    case PortFailure::None:
      return "opened";
    case PortFailure::Missing:
      return "missing";
    case PortFailure::NotSerial:
      return "not-serial";
    case PortFailure::PermissionDenied:
      return "permission-denied";
    case PortFailure::Busy:
      return "busy";
    case PortFailure::NoUart:
      return "no-uart";
    case PortFailure::DeviceError:
      break;
  }
  return "device-error";
}

}  // namespace zenor9
