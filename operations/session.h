// The link with one register as a set-up leaves it: the open channel, the
// address byte in use, the firmware's version code and memory map, and which
// address byte the set-up identified. The prefix is moved only while the
// address byte in use is the identified one, so that no register is written
// whose firmware was never asked.
#pragma once

#include <cstdint>
#include <optional>

#include "link/channel.h"
#include "link/net_number.h"
#include "memmap/ram_list.h"

namespace zenor9 {

struct Session {
  Session() = default;
  ~Session() { CloseChannel(channel); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  SerialChannel channel;
  uint8_t addressByte = kInitialAddressByte;  // net number 0
  int32_t versionCode = 0;
  MemoryMap memoryMap;
  // The address byte of the register that the last successful set-up or
  // identify found with supported firmware on the open channel; none before
  // one, and from the moment an attempt closes the channel.
  std::optional<uint8_t> identified;

  // True while the address byte in use is the identified register's.
  bool IdentifiedInUse() const { return identified && *identified == addressByte; }
};

}  // namespace zenor9
