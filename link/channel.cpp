#include "link/channel.h"

#include <algorithm>

namespace zenor9 {

namespace {

// A port that has failed can no longer deliver anything: waits on it end at once
// instead of polling a dead device until their time-out.
bool Usable(const SerialChannel& channel) {
  return channel.IsOpen() && !channel.port->Failed();
}

// Slice of a delay between two looks at the stop check.
constexpr uint32_t kStopCheckSliceMs = 10;

// With a stop check, a readiness wait lasts at most one slice, so that a stop is
// noticed even where the port's own wait cannot be interrupted (Windows sleeps
// through a console control event).
uint32_t ReadinessSlice(const SerialChannel& channel, uint32_t restMs) {
  return channel.stopRequested ? std::min(restMs, kStopCheckSliceMs) : restMs;
}

}  // namespace

bool StopRequested(const SerialChannel& channel) {
  return channel.stopRequested && channel.stopRequested();
}

bool PortLost(const SerialChannel& channel) {
  return channel.IsOpen() && channel.port->Failed();
}

bool OpenChannelDevice(const std::string& device, SerialChannel& channel) {
  PortOpenResult opened =
      channel.opener ? channel.opener(device, channel.stopRequested) : PortOpenResult();
  channel.port = std::move(opened.port);
  channel.openFailure = opened.failure;
  channel.openFailureDetail = std::move(opened.detail);
  if (!channel.port) return false;
  channel.port->SetParity(ParityMode::Mark);
  channel.port->Purge(kPurgeBothQueues);
  return true;
}

void CloseChannel(SerialChannel& channel) {
  if (!channel.IsOpen()) return;
  channel.port->Purge(kPurgeAll);
  channel.port.reset();
}

void SetParityMode(SerialChannel& channel, ParityMode mode) {
  if (Usable(channel)) channel.port->SetParity(mode);
}

void PurgeChannel(SerialChannel& channel, unsigned purgeFlags) {
  if (Usable(channel)) channel.port->Purge(purgeFlags);
}

int WriteBytes(SerialChannel& channel, const uint8_t* data, uint32_t count) {
  if (!Usable(channel)) return -1;
  const int written = channel.port->Write(data, count, count * kWritePerByteMs + kWriteConstantMs);
  channel.lastSentMs = channel.clock->NowMs();
  return written;
}

int ReadBytes(SerialChannel& channel, uint8_t* buffer, uint32_t count) {
  if (!Usable(channel)) return -1;
  Clock& clock = *channel.clock;
  SerialPort& port = *channel.port;
  const uint32_t total = ReadTotalMs(count);
  const uint32_t start = clock.NowMs();
  uint32_t lastArrival = start;
  uint32_t received = 0;
  while (received < count) {
    const int taken = port.ReadQueued(buffer + received, count - received);
    if (taken < 0) return received > 0 ? static_cast<int>(received) : -1;
    const uint32_t now = clock.NowMs();
    if (taken > 0) {
      received += static_cast<uint32_t>(taken);
      lastArrival = now;
      continue;
    }
    const uint32_t elapsed = now - start;
    if (elapsed > total) break;
    if (received > 0 && now - lastArrival > kReadIntervalMs) break;
    if (port.Failed() || StopRequested(channel)) break;
    const uint32_t untilTotal = total - elapsed + 1;
    const uint32_t untilInterval = kReadIntervalMs - (now - lastArrival) + 1;
    port.WaitReadable(received > 0 ? std::min(untilTotal, untilInterval) : untilTotal);
  }
  channel.answerBytesOwed -= std::min(channel.answerBytesOwed, received);
  return static_cast<int>(received);
}

uint32_t InputQueueCount(SerialChannel& channel) {
  return Usable(channel) ? channel.port->QueuedCount() : 0;
}

uint32_t RoundTripMs(const SerialChannel& channel) {
  return channel.IsOpen() ? channel.port->RoundTripMs() : 0;
}

bool WaitForInput(SerialChannel& channel, uint32_t count, uint32_t timeoutMs) {
  Clock& clock = *channel.clock;
  if (!channel.IsOpen()) {
    // Nothing can arrive on a channel that is not open: the wait just runs out.
    DelayMs(channel, timeoutMs);
    return false;
  }
  const uint32_t start = clock.NowMs();
  uint32_t queued = InputQueueCount(channel);
  for (;;) {
    const uint32_t elapsed = clock.NowMs() - start;
    if (elapsed > timeoutMs || queued >= count || channel.port->Failed()) break;
    if (StopRequested(channel)) break;
    if (queued == 0) {
      channel.port->WaitReadable(ReadinessSlice(channel, timeoutMs - elapsed + 1));
    } else {
      // Some bytes are queued but not enough: the device stays readable, so a
      // readiness wait would return at once. Look again a millisecond later.
      clock.SleepMs(1);
    }
    queued = InputQueueCount(channel);
  }
  return queued >= count;
}

uint32_t QuietMs(const SerialChannel& channel) {
  return kStrayQuietMs + RoundTripMs(channel);
}

void DropInputUntilQuiet(SerialChannel& channel) {
  constexpr int kMostStrayBytes = 64;
  const uint32_t quietMs = QuietMs(channel);
  for (int i = 0; i < kMostStrayBytes && WaitForInput(channel, 1, quietMs); ++i) {
    uint8_t stray = 0;
    ReadBytes(channel, &stray, 1);
  }
}

void ExpectAnswer(SerialChannel& channel, uint32_t bytes) {
  channel.answerBytesOwed = bytes;
}

void DropInputUntilAnswersEnd(SerialChannel& channel, uint32_t ms) {
  // Read rather than purged, so that a trace shows what came late. An answer
  // that has come whole, garbled or late, brings nothing more: only its rest
  // may still be on the line, for which the quiet time is enough.
  for (uint32_t since = channel.clock->NowMs() - channel.lastSentMs;
       since <= ms && channel.answerBytesOwed > 0 && Usable(channel) && !StopRequested(channel);
       since = channel.clock->NowMs() - channel.lastSentMs) {
    if (!WaitForInput(channel, 1, ms - since)) continue;
    uint8_t late = 0;
    ReadBytes(channel, &late, 1);
  }
  DropInputUntilQuiet(channel);
}

void DelayMs(Clock& clock, uint32_t ms) {
  const uint32_t start = clock.NowMs();
  for (uint32_t elapsed = 0; elapsed <= ms; elapsed = clock.NowMs() - start) {
    clock.SleepMs(ms - elapsed + 1);
  }
}

void DelayMs(SerialChannel& channel, uint32_t ms) {
  Clock& clock = *channel.clock;
  if (!channel.stopRequested) {
    DelayMs(clock, ms);
    return;
  }
  const uint32_t start = clock.NowMs();
  for (uint32_t elapsed = 0; elapsed <= ms && !StopRequested(channel);
       elapsed = clock.NowMs() - start) {
    clock.SleepMs(std::min(ms - elapsed + 1, kStopCheckSliceMs));
  }
}

}  // namespace zenor9
