#include "emulator/inprocess_port.h"

#include <algorithm>
#include <deque>

namespace zenor9::emu {

namespace {

// True when time `a` is not later than `b` on the wrapping 32-bit clock.
bool NotLater(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) <= 0; }

class InProcessPort final : public SerialPort {
 public:
  InProcessPort(Line& line, VirtualClock& clock) : line_(line), clock_(clock) {}

  void SetParity(ParityMode mode) override { parity_ = mode; }

  void Purge(unsigned flags) override {
    if ((flags & (kPurgeRxClear | kPurgeRxAbort)) == 0) return;
    // Only what has arrived is dropped; answers still on their way come later.
    while (!incoming_.empty() && NotLater(incoming_.front().dueMs, clock_.NowMs())) {
      incoming_.pop_front();
    }
  }

  int Write(const uint8_t* data, uint32_t count, uint32_t /*timeoutMs*/) override {
    if (Failed()) return -1;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t now = clock_.NowMs();
      for (const Emission& emission : line_.Deliver(data[i], parity_, now)) {
        for (uint8_t byte : emission.bytes) Schedule(now + emission.delayMs, byte);
      }
    }
    return static_cast<int>(count);
  }

  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    if (Failed()) return -1;
    std::vector<uint8_t> taken;
    while (taken.size() < count && Arrived()) {
      taken.push_back(incoming_.front().value);
      incoming_.pop_front();
    }
    std::copy(taken.begin(), taken.end(), buffer);
    if (!taken.empty()) line_.NoteToProgram(taken, clock_.NowMs());
    return static_cast<int>(taken.size());
  }

  uint32_t QueuedCount() override {
    const uint32_t now = clock_.NowMs();
    return static_cast<uint32_t>(std::count_if(incoming_.begin(), incoming_.end(),
                                               [now](const Incoming& in) { return NotLater(in.dueMs, now); }));
  }

  void WaitReadable(uint32_t maxMs) override {
    if (Failed() || Arrived()) return;
    const uint32_t now = clock_.NowMs();
    if (!incoming_.empty() && incoming_.front().dueMs - now <= maxMs) {
      clock_.Advance(incoming_.front().dueMs - now);
    } else {
      clock_.Advance(maxMs);
    }
  }

  bool Failed() const override { return line_.Unplugged(); }

 private:
  struct Incoming {
    uint32_t dueMs;
    uint8_t value;
  };

  bool Arrived() const {
    return !incoming_.empty() && NotLater(incoming_.front().dueMs, clock_.NowMs());
  }

  // Keeps the queue in order of arrival; bytes due at the same time keep the
  // order in which they were sent.
  void Schedule(uint32_t dueMs, uint8_t value) {
    auto later = std::find_if(incoming_.begin(), incoming_.end(), [dueMs](const Incoming& in) {
      return !NotLater(in.dueMs, dueMs);
    });
    incoming_.insert(later, Incoming{dueMs, value});
  }

  Line& line_;
  VirtualClock& clock_;
  ParityMode parity_ = ParityMode::Mark;
  std::deque<Incoming> incoming_;
};

}  // namespace

PortOpener InProcessOpener(Line& line, VirtualClock& clock, std::vector<std::string> devices) {
  return [&line, &clock, devices = std::move(devices)](const std::string& device)
             -> std::unique_ptr<SerialPort> {
    if (!devices.empty() && std::find(devices.begin(), devices.end(), device) == devices.end()) {
      return nullptr;
    }
    return std::make_unique<InProcessPort>(line, clock);
  };
}

void AttachInProcess(SerialChannel& channel, Line& line, VirtualClock& clock) {
  channel.clock = &clock;
  channel.opener = InProcessOpener(line, clock);
  OpenChannelDevice("emulator", channel);
}

}  // namespace zenor9::emu
