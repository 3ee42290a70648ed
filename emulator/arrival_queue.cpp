#include "emulator/arrival_queue.h"

#include <algorithm>

namespace zenor9::emu {

void ArrivalQueue::Schedule(uint32_t dueMs, uint8_t value) {
  const auto later = std::find_if(incoming_.begin(), incoming_.end(), [dueMs](const Incoming& in) {
    return !NotLater(in.dueMs, dueMs);
  });
  incoming_.insert(later, Incoming{dueMs, value});
}

std::optional<uint8_t> ArrivalQueue::TakeArrived(uint32_t nowMs) {
  if (!HasArrived(nowMs)) return std::nullopt;
  const uint8_t value = incoming_.front().value;
  incoming_.pop_front();
  return value;
}

bool ArrivalQueue::HasArrived(uint32_t nowMs) const {
  return !incoming_.empty() && NotLater(incoming_.front().dueMs, nowMs);
}

uint32_t ArrivalQueue::ArrivedCount(uint32_t nowMs) const {
  return static_cast<uint32_t>(
      std::count_if(incoming_.begin(), incoming_.end(),
                    [nowMs](const Incoming& in) { return NotLater(in.dueMs, nowMs); }));
}

void ArrivalQueue::DropArrived(uint32_t nowMs) {
  while (HasArrived(nowMs)) incoming_.pop_front();
}

std::optional<uint32_t> ArrivalQueue::MsUntilNext(uint32_t nowMs) const {
  if (incoming_.empty()) return std::nullopt;
  return HasArrived(nowMs) ? 0 : incoming_.front().dueMs - nowMs;
}

}  // namespace zenor9::emu
