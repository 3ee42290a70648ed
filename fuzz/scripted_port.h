// A serial port whose answers come from a script instead of a register. Each
// write of the program releases the next answers of the script, byte by byte on
// a virtual clock, so that a fuzzer can try any answer at any moment.
//
// Script format, one answer after another:
//   head, delay low byte, delay high byte, then (head & 0x0F) answer bytes
//   head bits 0-3  number of answer bytes (0 to 15)
//        bits 4-5  gap between successive answer bytes, in ms (0 to 3)
//        bit  6    the device goes away when the delay has passed
//        bit  7    the next answer belongs to the same write
//   delay          ms from the write to the first answer byte, 0 to 2047
// A write with no answer left in the script gets nothing back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "emulator/arrival_queue.h"
#include "link/clock.h"
#include "link/serial_port.h"

namespace zenor9::fuzz {

// Reads an input front to back; past its end every read yields zeros.
class InputReader {
 public:
  explicit InputReader(std::span<const uint8_t> data) : data_(data) {}
  uint8_t Byte();
  uint16_t Word();  // low byte first
  uint32_t Long();  // low byte first
  bool AtEnd() const { return next_ >= data_.size(); }

 private:
  std::span<const uint8_t> data_;
  std::size_t next_ = 0;
};

inline constexpr uint8_t kAnswerCountMask = 0x0F;
inline constexpr uint8_t kAnswerGapShift = 4;
inline constexpr uint8_t kAnswerGapMask = 0x30;
inline constexpr uint8_t kAnswerVanishes = 0x40;
inline constexpr uint8_t kAnswerContinues = 0x80;
inline constexpr uint16_t kAnswerDelayMask = 0x07FF;

struct Answer {
  uint16_t delayMs = 0;
  uint8_t gapMs = 0;
  bool vanishes = false;
  std::vector<uint8_t> bytes;
};

// Appends answers to a script: the seed generator writes what ScriptedPort reads.
// All answers given belong to one write.
void AppendAnswersOfOneWrite(std::vector<uint8_t>& script, const std::vector<Answer>& answers);

struct WrittenBytes {
  ParityMode parity;
  std::vector<uint8_t> bytes;
};

struct DeliveredByte {
  uint32_t timeMs;
  uint8_t value;
};

class ScriptedPort final : public SerialPort {
 public:
  ScriptedPort(InputReader& script, VirtualClock& clock) : script_(script), clock_(clock) {}

  void SetParity(ParityMode mode) override { parity_ = mode; }
  void Purge(unsigned flags) override;
  int Write(const uint8_t* data, uint32_t count, uint32_t timeoutMs) override;
  int ReadQueued(uint8_t* buffer, uint32_t count) override;
  uint32_t QueuedCount() override;
  void WaitReadable(uint32_t maxMs) override;
  bool Failed() const override;

  // What the program sent, one entry per accepted write, with the parity in force.
  const std::vector<WrittenBytes>& Writes() const { return writes_; }
  // Every byte the program took from the port, in order, with the time it took it.
  const std::vector<DeliveredByte>& Delivered() const { return delivered_; }
  // When the device went away, if it did.
  std::optional<uint32_t> FailureTime() const { return failAt_; }

 private:
  void ScheduleNextAnswers();

  InputReader& script_;
  VirtualClock& clock_;
  ParityMode parity_ = ParityMode::Mark;
  emu::ArrivalQueue incoming_;
  std::optional<uint32_t> failAt_;
  std::vector<WrittenBytes> writes_;
  std::vector<DeliveredByte> delivered_;
};

}  // namespace zenor9::fuzz
