#include "emulator/inprocess_port.h"

#include "emulator/arrival_queue.h"

#include <algorithm>

namespace zenor9::emu {

namespace {

class InProcessPort final : public SerialPort {
 public:
  InProcessPort(Line& line, VirtualClock& clock) : line_(line), clock_(clock) {}

  void SetParity(ParityMode mode) override { parity_ = mode; }

  void Purge(unsigned flags) override {
    if ((flags & (kPurgeRxClear | kPurgeRxAbort)) != 0) incoming_.DropArrived(clock_.NowMs());
  }

  int Write(const uint8_t* data, uint32_t count, uint32_t /*timeoutMs*/) override {
    if (Failed()) return -1;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t now = clock_.NowMs();
      for (const Emission& emission : line_.Deliver(data[i], parity_, now)) {
        for (uint8_t byte : emission.bytes) incoming_.Schedule(now + emission.delayMs, byte);
      }
    }
    return static_cast<int>(count);
  }

  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    if (Failed()) return -1;
    std::vector<uint8_t> taken;
    while (taken.size() < count) {
      const std::optional<uint8_t> byte = incoming_.TakeArrived(clock_.NowMs());
      if (!byte) break;
      taken.push_back(*byte);
    }
    std::copy(taken.begin(), taken.end(), buffer);
    if (!taken.empty()) line_.NoteToProgram(taken, clock_.NowMs());
    return static_cast<int>(taken.size());
  }

  uint32_t QueuedCount() override { return incoming_.ArrivedCount(clock_.NowMs()); }

  // Lets virtual time run to the next arrival, but not past maxMs: what a
  // blocking poll on a real device does.
  void WaitReadable(uint32_t maxMs) override {
    if (Failed()) return;
    const std::optional<uint32_t> next = incoming_.MsUntilNext(clock_.NowMs());
    clock_.Advance(next ? std::min(*next, maxMs) : maxMs);
  }

  bool Failed() const override { return line_.Unplugged(); }

 private:
  Line& line_;
  VirtualClock& clock_;
  ParityMode parity_ = ParityMode::Mark;
  ArrivalQueue incoming_;
};

}  // namespace

PortOpener InProcessOpener(Line& line, VirtualClock& clock, std::vector<std::string> devices) {
  return [&line, &clock, devices = std::move(devices)](const std::string& device,
                                                       const StopCheck&) -> PortOpenResult {
    if (!devices.empty() && std::find(devices.begin(), devices.end(), device) == devices.end()) {
      return PortOpenResult::Failure(PortFailure::Missing);
    }
    return PortOpenResult(std::make_unique<InProcessPort>(line, clock));
  };
}

void AttachInProcess(SerialChannel& channel, Line& line, VirtualClock& clock) {
  channel.clock = &clock;
  channel.opener = InProcessOpener(line, clock);
  OpenChannelDevice("emulator", channel);
}

}  // namespace zenor9::emu
