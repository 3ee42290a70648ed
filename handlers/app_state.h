// The state the whole window program shares, one instance for the run: the
// link with the register as the last set-up left it, and the two flags of the
// windows.
#pragma once

#include <cstdint>

#include "operations/port_choice.h"
#include "operations/session.h"

namespace zenor9 {

struct AppState : Session {
  uint8_t autoDetect = 1;  // scan for the net number at set-up
  uint8_t connected = 0;   // set by a successful set-up only
  PortChoice port;         // the last set-up's, whose channel is in use; for the journal
};

}  // namespace zenor9
