// Bytes on their way to the program, each due at a moment of a virtual clock:
// the incoming side of every port that runs on virtual time.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

namespace zenor9::emu {

class ArrivalQueue {
 public:
  // Adds a byte due at `dueMs`. Bytes due at the same moment keep the order in
  // which they were added.
  void Schedule(uint32_t dueMs, uint8_t value);
  // The byte that arrived first, if any has arrived by `nowMs`; it leaves the queue.
  std::optional<uint8_t> TakeArrived(uint32_t nowMs);
  bool HasArrived(uint32_t nowMs) const;
  uint32_t ArrivedCount(uint32_t nowMs) const;
  // Drops what has arrived; bytes still on their way come later.
  void DropArrived(uint32_t nowMs);
  // How long until the next byte arrives, when one is on its way.
  std::optional<uint32_t> MsUntilNext(uint32_t nowMs) const;

 private:
  struct Incoming {
    uint32_t dueMs;
    uint8_t value;
  };

  std::deque<Incoming> incoming_;  // in order of arrival
};

// True when time `a` is not later than `b` on the wrapping 32-bit clock.
constexpr bool NotLater(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) <= 0;
}

}  // namespace zenor9::emu
