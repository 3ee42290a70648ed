#include "fuzz/scripted_port.h"

#include <algorithm>

namespace zenor9::fuzz {

namespace {

// True when time `a` is not later than `b` on the wrapping 32-bit clock.
bool NotLater(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) <= 0;
}

}  // namespace

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
  if ((flags & (kPurgeRxClear | kPurgeRxAbort)) == 0) return;
  // Only what has arrived is dropped; answers still on their way come later.
  while (Arrived()) incoming_.erase(incoming_.begin());
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
  while (taken < count && Arrived()) {
    buffer[taken++] = incoming_.front().value;
    delivered_.push_back({clock_.NowMs(), incoming_.front().value});
    incoming_.erase(incoming_.begin());
  }
  return static_cast<int>(taken);
}

uint32_t ScriptedPort::QueuedCount() {
  if (Failed()) return 0;
  const uint32_t now = clock_.NowMs();
  return static_cast<uint32_t>(
      std::count_if(incoming_.begin(), incoming_.end(),
                    [now](const Incoming& in) { return NotLater(in.dueMs, now); }));
}

// Lets virtual time run to the next arrival or the device's end, whichever comes
// first, but not past maxMs: what a blocking poll on a real device does.
void ScriptedPort::WaitReadable(uint32_t maxMs) {
  if (Failed() || Arrived()) return;
  const uint32_t now = clock_.NowMs();
  uint32_t wait = maxMs;
  if (!incoming_.empty()) wait = std::min(wait, incoming_.front().dueMs - now);
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
    for (uint32_t i = 0; i < count; ++i) Schedule(now + delay + i * gap, script_.Byte());
    if ((head & kAnswerVanishes) != 0 && (!failAt_ || NotLater(now + delay, *failAt_))) {
      failAt_ = now + delay;
    }
    more = (head & kAnswerContinues) != 0 && !script_.AtEnd();
  }
}

// Bytes due at the same time keep the order in which the script gave them.
void ScriptedPort::Schedule(uint32_t dueMs, uint8_t value) {
  const auto later = std::find_if(incoming_.begin(), incoming_.end(), [dueMs](const Incoming& in) {
    return !NotLater(in.dueMs, dueMs);
  });
  incoming_.insert(later, Incoming{dueMs, value});
}

bool ScriptedPort::Arrived() const {
  return !incoming_.empty() && NotLater(incoming_.front().dueMs, clock_.NowMs());
}

}  // namespace zenor9::fuzz
