// Whether a handle that Windows opened by a port's name is a serial port,
// decided apart from the system calls so that it is tested on every platform.
#pragma once

#include <functional>
#include <optional>

#include "link/serial_port.h"

namespace zenor9 {

// What GetFileType says of a handle.
enum class HandleKind { Character, Disk, PipeOrSocket, Unknown };

// Asks the device for its serial line state (GetCommState): nothing when it has
// one, else why it is no port.
using LineStateCheck = std::function<std::optional<PortOpenResult>()>;

// Why the handle is no serial port, or nothing when it is one. Files, pipes and
// sockets are refused without asking them anything; a character device is a
// port when it has a line state. Some COM drivers report no file type at all:
// such a handle is a port when it has a line state too, and missing when not
// (under Wine a COM name whose device is gone opens as a handle of no type).
std::optional<PortOpenResult> RefusalOfHandle(HandleKind kind, const LineStateCheck& lineState);

}  // namespace zenor9
