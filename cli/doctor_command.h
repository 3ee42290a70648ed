// `zenor9 doctor`: a read-only diagnosis of one port and the register on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/outcome.h"

namespace zenor9::cli {

// A line per check (✓ or ✗, what was found, and what to do), or `checks` in
// JSON. `port` is the name the user gave (COM9), `device` what it stands for.
// A failed identify or stray byte is tried again `retries` times, as read and
// write try theirs. Exit code 0 when every check passed, 1 when any failed.
Outcome DoctorCommand(const std::string& port, const std::string& device,
                      std::optional<uint8_t> net, int retries);

}  // namespace zenor9::cli
