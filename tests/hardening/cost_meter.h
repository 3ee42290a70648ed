// Wall time and the process's CPU time (user + system, every thread: the link and
// the emulator's host) over a stretch of a test, to tell a wait from a spin.
#pragma once

#include <sys/resource.h>

#include <chrono>

namespace zenor9 {

class CostMeter {
 public:
  CostMeter() : wallStart_(std::chrono::steady_clock::now()), cpuStart_(ProcessCpuMs()) {}

  double WallMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart_)
        .count();
  }
  double CpuMs() const { return ProcessCpuMs() - cpuStart_; }

  static double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
  }

 private:
  std::chrono::steady_clock::time_point wallStart_;
  double cpuStart_;
};

}  // namespace zenor9
