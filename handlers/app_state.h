// The state the whole program shares, one instance for the run: the serial
// channel and what the interface set-up learned about the register.
#pragma once

#include <cstdint>

#include "link/channel.h"
#include "link/net_number.h"
#include "memmap/ram_list.h"

namespace zenor9 {

struct AppState {
  SerialChannel channel;
  uint8_t addressByte = kInitialAddressByte;  // net number 0
  uint8_t autoDetect = 1;                     // scan for the net number at set-up
  uint8_t connected = 0;                      // set by a successful set-up only
  int32_t versionCode = 0;
  MemoryMap memoryMap;
};

}  // namespace zenor9
