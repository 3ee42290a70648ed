// The one place where a device name chooses its backend.
#include "link/rfc2217_port.h"
#include "link/serial_port.h"

namespace zenor9 {

PortOpenResult OpenPlatformPort(const std::string& device, const StopCheck& stopRequested) {
  return IsRemoteDevice(device) ? OpenRemotePort(device, stopRequested) : OpenLocalPort(device);
}

}  // namespace zenor9
