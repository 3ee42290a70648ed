// Windows only: a 1 ms system timer while a port is open.
#pragma once

#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

namespace zenor9 {

// The system timer ticks every 15.6 ms by default, and Sleep(1) lasts a whole
// tick: a 1 ms timer while a port is open lets a wait notice a byte within 2 ms.
class FineTimer {
 public:
  FineTimer() : raised_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~FineTimer() {
    if (raised_) ::timeEndPeriod(1);
  }
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;

 private:
  bool raised_;
};

}  // namespace zenor9
