#include "link/clock.h"

#include <chrono>
#include <thread>

namespace zenor9 {

uint32_t SystemClock::NowMs() {
  const auto since_boot = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_boot).count();
  return static_cast<uint32_t>(ms) + offset_;
}

void SystemClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

SystemClock& SystemClock::Instance() {
  static SystemClock clock;
  return clock;
}

}  // namespace zenor9
