// The reason a port did not open, in plain words for messages.
#pragma once

#include <string>

#include "link/serial_port.h"

namespace zenor9::diag {

// "permission denied; the device belongs to group dialout, which this user is not
// in", "held by another program: minicom (pid 4711)", "device error: Input/output
// error": the failure, and what more the system tells about it.
std::string DescribeOpenFailure(const std::string& device, PortFailure failure,
                                const std::string& detail);

}  // namespace zenor9::diag
