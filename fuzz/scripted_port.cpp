#include "fuzz/scripted_port.h"

#include <algorithm>

namespace zenor9::fuzz {

using emu::NotLater;

uint8_t InputReader::Byte() {
  return AtEnd() ? 0 : data_[next_++];
}

uint16_t InputReader::Word() {
  const uint16_t low = Byte();
  return static_cast<uint16_t>(low | (Byte() << 8));
}

uint32_t InputReader::Long() {
  const uint32_t low = Word();
  return low | (static_cast<uint32_t>(Word()) << 16);
}

void AppendAnswersOfOneWrite(std::vector<uint8_t>& script, const std::vector<Answer>& answers) {
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const Answer& answer = answers[i];
    uint8_t head = static_cast<uint8_t>(answer.bytes.size() & kAnswerCountMask);
    head |= static_cast<uint8_t>((answer.gapMs << kAnswerGapShift) & kAnswerGapMask);
    if (answer.vanishes) head |= kAnswerVanishes;
    if (i + 1 < answers.size()) head |= kAnswerContinues;
    const uint16_t delay = answer.delayMs & kAnswerDelayMask;
    script.push_back(head);
    script.push_back(static_cast<uint8_t>(delay & 0xFF));
    script.push_back(static_cast<uint8_t>(delay >> 8));
    const std::size_t count = head & kAnswerCountMask;
    script.insert(script.end(), answer.bytes.begin(), answer.bytes.begin() + count);
  }
  if (answers.empty()) script.insert(script.end(), {0, 0, 0});  // this write gets nothing
}

void ScriptedPort::Purge(unsigned flags) {
  if ((flags & (kPurgeRxClear | kPurgeRxAbort)) != 0) incoming_.DropArrived(clock_.NowMs());
}

int ScriptedPort::Write(const uint8_t* data, uint32_t count, uint32_t /*timeoutMs*/) {
  if (Failed()) return -1;
  writes_.push_back({parity_, std::vector<uint8_t>(data, data + count)});
  ScheduleNextAnswers();
  return static_cast<int>(count);
}

int ScriptedPort::ReadQueued(uint8_t* buffer, uint32_t count) {
  if (Failed()) return -1;
  uint32_t taken = 0;
  for (; taken < count; ++taken) {
    const std::optional<uint8_t> byte = incoming_.TakeArrived(clock_.NowMs());
    if (!byte) break;
    buffer[taken] = *byte;
    delivered_.push_back({clock_.NowMs(), *byte});
  }
  return static_cast<int>(taken);
}

uint32_t ScriptedPort::QueuedCount() {
  return Failed() ? 0 : incoming_.ArrivedCount(clock_.NowMs());
}

// Lets virtual time run to the next arrival or the device's end, whichever comes
// first, but not past maxMs: what a blocking poll on a real device does.
void ScriptedPort::WaitReadable(uint32_t maxMs) {
  if (Failed()) return;
  const uint32_t now = clock_.NowMs();
  uint32_t wait = maxMs;
  if (const std::optional<uint32_t> next = incoming_.MsUntilNext(now)) wait = std::min(wait, *next);
  if (failAt_) wait = std::min(wait, *failAt_ - now);
  clock_.Advance(wait);
}

bool ScriptedPort::Failed() const {
  return failAt_ && NotLater(*failAt_, clock_.NowMs());
}

void ScriptedPort::ScheduleNextAnswers() {
  const uint32_t now = clock_.NowMs();
  for (bool more = !script_.AtEnd(); more;) {
    const uint8_t head = script_.Byte();
    const uint32_t delay = script_.Word() & kAnswerDelayMask;
    const uint32_t gap = (head & kAnswerGapMask) >> kAnswerGapShift;
    const uint32_t count = head & kAnswerCountMask;
    for (uint32_t i = 0; i < count; ++i) incoming_.Schedule(now + delay + i * gap, script_.Byte());
    if ((head & kAnswerVanishes) != 0 && (!failAt_ || NotLater(now + delay, *failAt_))) {
      failAt_ = now + delay;
    }
    more = (head & kAnswerContinues) != 0 && !script_.AtEnd();
  }
}

}  // namespace zenor9::fuzz
