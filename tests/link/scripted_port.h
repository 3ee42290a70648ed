// A port double on a virtual clock whose incoming bytes are scripted to the
// millisecond, for the waits and answers that no well-behaved register produces
// (a reply frame that never comes, a reply with a wrong count byte, bytes with
// gaps between them).
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "emulator/arrival_queue.h"
#include "link/channel.h"

namespace zenor9::test {

class ScriptedPort final : public SerialPort {
 public:
  explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}

  // Bytes that arrive `delayMs` from now, all at the same moment. Calls must come
  // in order of arrival.
  void ArriveIn(uint32_t delayMs, const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) incoming_.Schedule(clock_.NowMs() + delayMs, byte);
  }
  // What arrives `delayMs` after the next write call (one entry per write).
  void AnswerNextWrite(uint32_t delayMs, std::vector<uint8_t> bytes) {
    answers_.push_back({delayMs, std::move(bytes)});
  }
  void Unplug() { failed_ = true; }

  // Every byte written, with the ninth bit it went out with.
  const std::vector<std::pair<uint8_t, ParityMode>>& Written() const { return written_; }
  ParityMode Parity() const { return parity_; }

  void SetParity(ParityMode mode) override { parity_ = mode; }
  void Purge(unsigned flags) override {
    if ((flags & kPurgeRxClear) != 0) incoming_.DropArrived(clock_.NowMs());
  }
  int Write(const uint8_t* data, uint32_t count, uint32_t /*timeoutMs*/) override {
    if (failed_) return -1;
    for (uint32_t i = 0; i < count; ++i) written_.emplace_back(data[i], parity_);
    if (!answers_.empty()) {
      ArriveIn(answers_.front().first, answers_.front().second);
      answers_.pop_front();
    }
    return static_cast<int>(count);
  }
  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    if (failed_) return -1;
    uint32_t taken = 0;
    for (; taken < count; ++taken) {
      const std::optional<uint8_t> byte = incoming_.TakeArrived(clock_.NowMs());
      if (!byte) break;
      buffer[taken] = *byte;
    }
    return static_cast<int>(taken);
  }
  uint32_t QueuedCount() override { return incoming_.ArrivedCount(clock_.NowMs()); }
  void WaitReadable(uint32_t maxMs) override {
    if (failed_) return;
    const std::optional<uint32_t> next = incoming_.MsUntilNext(clock_.NowMs());
    clock_.Advance(next ? std::min(*next, maxMs) : maxMs);
  }
  bool Failed() const override { return failed_; }

 private:
  VirtualClock& clock_;
  ParityMode parity_ = ParityMode::Mark;
  emu::ArrivalQueue incoming_;
  std::deque<std::pair<uint32_t, std::vector<uint8_t>>> answers_;
  std::vector<std::pair<uint8_t, ParityMode>> written_;
  bool failed_ = false;
};

// Puts a fresh scripted port into `channel`, timed by `clock`, and returns it.
inline ScriptedPort& AttachScripted(SerialChannel& channel, VirtualClock& clock) {
  auto port = std::make_unique<ScriptedPort>(clock);
  ScriptedPort& ref = *port;
  channel.clock = &clock;
  channel.port = std::move(port);
  return ref;
}

}  // namespace zenor9::test
