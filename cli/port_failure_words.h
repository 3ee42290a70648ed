// Why a port did not open, as the command line says it: words for people and a
// key for scripts.
#pragma once

#include <string>

#include "link/serial_port.h"
#include "portmap/com_map.h"

namespace zenor9::cli {

// The short words for a failure ("permission denied"), as messages show them.
const char* PortFailureText(PortFailure failure);
// The same as one key for scripts ("permission-denied").
const char* PortFailureKey(PortFailure failure);

// The key for scripts of a COMn that the COM map gives no device
// ("map-unreadable", "map-line-ignored").
const char* MapFaultKey(portmap::MapFault fault);

// "permission denied; the device belongs to group dialout, which this user is not
// in", "held by another program: minicom (pid 4711)", "device error: input/output
// error": the failure, and what more the system tells about it.
std::string DescribeOpenFailure(const std::string& device, PortFailure failure,
                                const OpenFailureDetail& detail);

}  // namespace zenor9::cli
