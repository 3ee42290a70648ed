// Measures the link on the pty host with the real POSIX backend and prints a
// Markdown table: wall time of identify, read, write and of a scan of an empty
// line beside the least the protocol allows, the CPU time the calling thread
// spends over that wall time, how late WaitForInput notices an arriving byte,
// and how long a 500 ms wait with nothing arriving really lasts.
//
// The least the protocol allows = its own fixed delays and waits + the bytes
// that must cross the line outside them, at 9600 baud with 11 bits per byte
// (start, 8 data, ninth bit, stop): 11 / 9600 s = 1.146 ms per byte.
// The pty carries bytes at once, so it can beat the byte term; the fixed delays
// and waits it cannot. The emulated register answers kAnswerDelayMs after each
// request, so that the commands wait as they would on a line and their CPU share
// is that of waiting, not only of the few system calls.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "emulator/pty_host.h"
#include "link/commands.h"
#include "link/net_number.h"

namespace zenor9 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 11.0 * 1000.0 / 9600.0;
constexpr uint8_t kNet = 7;
constexpr uint16_t kTensCell = 11887;
constexpr double kCpuTargetPercent = 5;
constexpr double kNoticeTargetMs = 2;
constexpr double kEmptyWaitSlackMs = 20;
constexpr uint32_t kAnswerDelayMs = 2;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the calling thread only: the link's cost, not the emulated
// register's, which runs on the host's own thread.
double ThreadCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Runs {
  std::vector<double> wallMs;
  double cpuMs = 0;
  int failures = 0;

  double Median() const {
    std::vector<double> sorted = wallMs;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
  double Max() const { return *std::max_element(wallMs.begin(), wallMs.end()); }
  double Min() const { return *std::min_element(wallMs.begin(), wallMs.end()); }
  double CpuPercent() const {
    double wall = 0;
    for (double w : wallMs) wall += w;
    return 100.0 * cpuMs / wall;
  }
};

Runs Repeat(int count, const std::function<bool()>& operation) {
  Runs runs;
  for (int i = 0; i < count; ++i) {
    const double cpuStart = ThreadCpuMs();
    const auto start = Clock::now();
    if (!operation()) ++runs.failures;
    runs.wallMs.push_back(Ms(Clock::now() - start));
    runs.cpuMs += ThreadCpuMs() - cpuStart;
  }
  return runs;
}

// A line with one register at kNet, served on a pty.
class Bench {
 public:
  explicit Bench(bool withRegister) {
    if (withRegister) line_.AddRegister(kNet).SetReplyDelayMs(kAnswerDelayMs);
    line_.SetRecording(false);
    ok_ = host_.Start() && OpenChannelDevice(host_.DevicePath(), channel_);
  }
  bool Ok() const { return ok_; }
  SerialChannel& Channel() { return channel_; }
  emu::Line& Line() { return line_; }

 private:
  emu::Line line_;
  emu::PtyHost host_{line_};
  SerialChannel channel_;
  bool ok_ = false;
};

// One row: the measured times, the least the protocol allows, and what is left
// of the median after the protocol's fixed delays and waits and the emulated
// register's answer delays: the link's own time.
void PrintRow(const char* name, const Runs& runs, double fixedMs, int bytes, const char* least,
              int answers) {
  const double leastMs = fixedMs + bytes * kByteMs;
  const double ownMs = runs.Median() - fixedMs - answers * kAnswerDelayMs;
  const bool cheap = runs.CpuPercent() < kCpuTargetPercent;
  std::printf("| %-21s | %4zu | %9.1f | %9.1f | %7.1f = %-26s | %9u | %8.1f | %5.2f %% %-4s |%s\n",
              name, runs.wallMs.size(), runs.Median(), runs.Max(), leastMs, least,
              answers * kAnswerDelayMs, ownMs, runs.CpuPercent(), cheap ? "ok" : "OVER",
              runs.failures > 0 ? " (some runs failed!)" : "");
}

int Run() {
  Bench bench(true);
  Bench empty(false);
  if (!bench.Ok() || !empty.Ok()) {
    std::fprintf(stderr, "no pseudo-terminal could be opened\n");
    return 1;
  }
  SerialChannel& channel = bench.Channel();
  const uint8_t address = AddressByteOfNetNumber(kNet);
  int32_t version = 0;
  uint8_t value = 0;

  const Runs identify = Repeat(
      5, [&] { return IdentifyRegister(channel, address, version) != IdentifyAnswer::None; });
  const Runs read =
      Repeat(50, [&] { return ReadRegisterByte(channel, address, kTensCell, value); });
  const Runs write =
      Repeat(50, [&] { return WriteRegisterByte(channel, address, kTensCell, '5'); });
  uint8_t found = 0;
  const Runs scan = Repeat(3, [&] { return !DetectAddressByte(empty.Channel(), found); });

  std::printf("Link on the pty host (POSIX backend), %.3f ms per byte at 9600 baud:\n\n", kByteMs);
  std::printf("| %-21s | %4s | %9s | %9s | %-36s | %-9s | %-8s | %-13s |\n", "operation", "runs",
              "median ms", "max ms", "least the protocol allows, ms", "answer ms", "own ms",
              "CPU / wall");
  std::printf(
      "|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(23, '-').c_str(), std::string(6, '-').c_str(),
      std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(38, '-').c_str(),
      std::string(11, '-').c_str(), std::string(10, '-').c_str(), std::string(15, '-').c_str());
  PrintRow("identify", identify, 40 + 400, 4, "40 + 400 + 4 bytes", 0);
  PrintRow("read", read, 0, 12, "12 bytes (7 out, 5 in)", 2);
  PrintRow("write", write, 0, 10, "10 bytes (8 out, 2 in)", 2);
  PrintRow("scan of an empty line", scan, 100 * 10, 100, "100 x (10 + 1 byte)", 0);
  std::printf(
      "\nanswer ms: the emulated register's delays (%u ms per answer), part of the wall\n"
      "time (identify's come during its fixed delays and add nothing). own ms: the\n"
      "median less the fixed delays and waits and the answer delays.\n"
      "CPU: the calling thread's user + system time over its wall time.\n",
      kAnswerDelayMs);

  // The register answers 50 ms after the address byte; the host stamps the
  // moment it has handed the byte over, the link the moment its wait returns.
  bench.Line().RegisterAt(0).SetReplyDelayMs(50);
  std::atomic<int64_t> sentAt{0};
  bench.Line().SetObserver([&sentAt](const emu::WireByte& byte) {
    if (!byte.toRegister) sentAt = Clock::now().time_since_epoch().count();
  });
  std::vector<double> noticeMs;
  double noticeCpu = 0;
  double noticeWall = 0;
  for (int i = 0; i < 20; ++i) {
    PurgeChannel(channel, kPurgeBothQueues);
    SetParityMode(channel, ParityMode::Mark);
    sentAt = 0;
    WriteBytes(channel, &address, 1);
    const double cpuStart = ThreadCpuMs();
    const auto start = Clock::now();
    const bool arrived = WaitForInput(channel, 1, 500);
    const auto end = Clock::now();
    noticeCpu += ThreadCpuMs() - cpuStart;
    noticeWall += Ms(end - start);
    // The host stamps just after its write returns: the link may wake first.
    for (int spins = 0; spins < 100 && sentAt == 0; ++spins) std::this_thread::yield();
    if (arrived) noticeMs.push_back(Ms(end - Clock::time_point(Clock::duration(sentAt.load()))));
  }
  bench.Line().SetObserver(nullptr);
  std::sort(noticeMs.begin(), noticeMs.end());

  const Runs quiet = Repeat(5, [&] { return !WaitForInput(empty.Channel(), 1, 500); });

  std::printf("\n| %-44s | %-34s | %-22s |\n", "wait", "measured", "target");
  std::printf("|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(36, '-').c_str(),
              std::string(24, '-').c_str());
  if (noticeMs.empty()) {
    std::printf("| %-44s | %-34s | %-22s |\n", "WaitForInput notices an arriving byte",
                "no byte arrived!", "< 2 ms");
  } else {
    char measured[64];
    std::snprintf(measured, sizeof measured, "median %.3f ms, max %.3f ms (%zu)",
                  noticeMs[noticeMs.size() / 2], noticeMs.back(), noticeMs.size());
    std::printf("| %-44s | %-34s | < 2 ms: %-14s |\n", "WaitForInput notices an arriving byte",
                measured, noticeMs.back() < kNoticeTargetMs ? "ok" : "MISSED");
  }
  char cpu[64];
  std::snprintf(cpu, sizeof cpu, "%.2f %% over %.0f ms", 100 * noticeCpu / noticeWall, noticeWall);
  std::printf("| %-44s | %-34s | < 5 %%: %-15s |\n", "  CPU / wall while waiting for it", cpu,
              100 * noticeCpu / noticeWall < kCpuTargetPercent ? "ok" : "OVER");
  char lasted[64];
  std::snprintf(lasted, sizeof lasted, "%.1f to %.1f ms, CPU %.2f %%", quiet.Min(), quiet.Max(),
                quiet.CpuPercent());
  const bool inWindow =
      quiet.Min() > 500 && quiet.Max() < 500 + kEmptyWaitSlackMs && quiet.failures == 0;
  std::printf("| %-44s | %-34s | 500 < t < 520: %-7s |\n", "500 ms wait with nothing arriving",
              lasted, inWindow ? "ok" : "MISSED");
  return 0;
}

}  // namespace
}  // namespace zenor9

int main() {
  return zenor9::Run();
}
