// A port double on a virtual clock whose incoming bytes are scripted to the
// millisecond, for the waits and answers that no well-behaved register produces
// (a reply frame that never comes, a reply with a wrong count byte, bytes with
// gaps between them).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "link/channel.h"

namespace zenor9::test {

class ScriptedPort final : public SerialPort {
 public:
  explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}

  // Bytes that arrive `delayMs` from now, all at the same moment. Calls must come
  // in order of arrival.
  void ArriveIn(uint32_t delayMs, const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) incoming_.push_back({clock_.NowMs() + delayMs, byte});
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
    if ((flags & kPurgeRxClear) == 0) return;
    while (Arrived()) incoming_.pop_front();
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
    for (; taken < count && Arrived(); ++taken) {
      buffer[taken] = incoming_.front().value;
      incoming_.pop_front();
    }
    return static_cast<int>(taken);
  }
  uint32_t QueuedCount() override {
    uint32_t queued = 0;
    for (const Incoming& in : incoming_) queued += Due(in) ? 1 : 0;
    return queued;
  }
  void WaitReadable(uint32_t maxMs) override {
    if (failed_ || Arrived()) return;
    const uint32_t now = clock_.NowMs();
    const bool comesInTime = !incoming_.empty() && incoming_.front().dueMs - now <= maxMs;
    clock_.Advance(comesInTime ? incoming_.front().dueMs - now : maxMs);
  }
  bool Failed() const override { return failed_; }

 private:
  struct Incoming {
    uint32_t dueMs;
    uint8_t value;
  };
  bool Due(const Incoming& in) const {
    return static_cast<int32_t>(in.dueMs - clock_.NowMs()) <= 0;
  }
  bool Arrived() const { return !incoming_.empty() && Due(incoming_.front()); }

  VirtualClock& clock_;
  ParityMode parity_ = ParityMode::Mark;
  std::deque<Incoming> incoming_;
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
