// Millisecond tick counter used for every time-out and delay of the link.
#pragma once

#include <cstdint>

namespace zenor9 {

// A 32-bit millisecond counter that wraps around. Elapsed time is always the
// unsigned difference (now - start), so a wrap during a wait does no harm.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
  // Blocks for about `ms` milliseconds (a virtual clock simply advances).
  virtual void SleepMs(uint32_t ms) = 0;
};

// The machine's monotonic clock. `offset` shifts the counter, so that tests can
// place a real wrap-around within reach.
class SystemClock final : public Clock {
 public:
  explicit SystemClock(uint32_t offset = 0) : offset_(offset) {}
  uint32_t NowMs() override;
  void SleepMs(uint32_t ms) override;
  static SystemClock& Instance();

 private:
  uint32_t offset_;
};

// A clock that moves only when told to: tests run on it instantly and exactly.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0) : now_(start) {}
  uint32_t NowMs() override { return now_; }
  void SleepMs(uint32_t ms) override { now_ += ms; }
  void Advance(uint32_t ms) { now_ += ms; }

 private:
  uint32_t now_;
};

}  // namespace zenor9
