// Measures the command line's register commands in process, on the pty host
// with the real POSIX backend, and prints Markdown tables:
//
// 1. What the read-back costs: a clean write with its read-back against one
//    without (--no-verify), with the bytes each adds on a 9600-baud line; and
//    a write --if-different to a register that already holds the value.
// 2. Noisy lines, seeded: 15 % of the exchanges get one of the emulator's
//    random faults (lost, cut, garbled, padded or late, as zenor9 sim
//    --random-faults 15), or 15 % of the answers are spoiled one by one (lost,
//    cut, a bit flipped, a byte added, 20 to 900 ms late): writes and reads
//    with the defaults (3 retries, read-back), against a single try without
//    read-back. Every write reported done is checked against what the emulated
//    register holds, and every read against it too.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/register_commands.h"
#include "emulator/pty_host.h"
#include "operations/port_choice.h"

namespace zenor9 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 11.0 * 1000.0 / 9600.0;
constexpr uint8_t kNet = 7;
constexpr uint32_t kAnswerDelayMs = 2;
constexpr int kCleanRuns = 20;
constexpr uint32_t kSpoiledPerMille = 150;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

cli::Target TargetOn(const std::string& device, int retries) {
  cli::Target target;
  target.port = ChoosePort(device);
  target.net = kNet;
  target.retries = retries;
  return target;
}

// "20" to "29", or "off" every fifth time.
std::string ValueOfRound(int round) {
  return round % 5 == 4 ? "off" : "2" + std::to_string(round % 10);
}

void CleanWrites(const std::string& device) {
  std::vector<double> verified;
  std::vector<double> unverified;
  std::vector<double> alreadyHeld;
  int failures = 0;
  const auto timed = [&](const cli::WriteRequest& request, std::vector<double>& times) {
    const auto start = Clock::now();
    const cli::Outcome outcome = cli::WriteCommand(TargetOn(device, cli::kDefaultRetries), request);
    times.push_back(Ms(Clock::now() - start));
    failures += outcome.Ok() ? 0 : 1;
  };
  for (int run = 0; run < kCleanRuns; ++run) {
    const std::string value = ValueOfRound(run);
    timed({value, true}, verified);
    timed({value, false}, unverified);
    timed({value, true, true}, alreadyHeld);  // nothing differs: read, not written
  }
  // A read of one cell: address byte and its echo, 6 bytes of request, the
  // acknowledgement, 3 bytes of reply.
  constexpr int kReadBytes = 12;
  std::printf(
      "A clean write (set-up by identify, both cells read first, written), %d runs each:\n\n",
      kCleanRuns);
  std::printf("| write | median ms | read-back adds, measured | read-back adds at 9600 baud |\n");
  std::printf("|---|---|---|---|\n");
  std::printf(
      "| with read-back (the default) | %.1f | %.1f ms | %d bytes = %.1f ms + 4 answers |\n",
      Median(verified), Median(verified) - Median(unverified), 2 * kReadBytes,
      2 * kReadBytes * kByteMs);
  std::printf("| --no-verify | %.1f | | |\n", Median(unverified));
  std::printf("| --if-different, the value already held | %.1f | | |\n", Median(alreadyHeld));
  if (failures > 0) std::printf("\n%d clean writes failed!\n", failures);
}

struct NoisyCounts {
  int writes = 0;
  int writesDone = 0;
  int writesDoneNotHeld = 0;  // reported done, and the register holds something else
  int reads = 0;
  int readsDone = 0;
  int readsWrong = 0;  // reported done with another value than the register holds
  int retries = 0;
  double seconds = 0;
};

// What the noisy line spoils: whole exchanges with the register's random
// faults, or single answers on the line.
enum class Noise { Exchanges, Answers };

NoisyCounts NoisyRounds(Noise noise, int rounds, int retries, bool verify, uint32_t seed) {
  emu::Line line;
  line.SetRecording(false);
  emu::Register& reg = line.AddRegister(kNet);
  reg.SetReplyDelayMs(kAnswerDelayMs);
  if (noise == Noise::Exchanges) {
    reg.SetRandomFaults(emu::SpoiledAnswerFaults(), kSpoiledPerMille, seed);
  } else {
    line.SetSpoiledAnswers(kSpoiledPerMille, seed);
  }
  emu::PtyHost host(line);
  NoisyCounts counts;
  if (!host.Start()) return counts;
  const cli::Target target = TargetOn(host.DevicePath(), retries);
  const auto start = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    const std::string value = ValueOfRound(round);
    const cli::Outcome written = cli::WriteCommand(target, {value, verify});
    ++counts.writes;
    counts.retries += written.retries.value_or(0);
    if (written.Ok()) {
      ++counts.writesDone;
      if (reg.Prefix() != value) ++counts.writesDoneNotHeld;
    }
    const cli::Outcome read = cli::ReadCommand(target);
    ++counts.reads;
    counts.retries += read.retries.value_or(0);
    if (read.Ok()) {
      ++counts.readsDone;
      if (read.prefix != reg.Prefix()) ++counts.readsWrong;
    }
  }
  counts.seconds = Ms(Clock::now() - start) / 1000;
  host.Stop();
  return counts;
}

void PrintNoisy(const char* name, const NoisyCounts& counts) {
  const int operations = counts.writes + counts.reads;
  const int done = counts.writesDone + counts.readsDone;
  std::printf("| %s | %d of %d | %d | %d of %d | %d | %.1f %% | %d | %.2f s |\n", name,
              counts.writesDone, counts.writes, counts.writesDoneNotHeld, counts.readsDone,
              counts.reads, counts.readsWrong, operations > 0 ? 100.0 * done / operations : 0,
              counts.retries, operations > 0 ? counts.seconds / operations : 0);
}

void NoisyLine(Noise noise, int rounds, uint32_t seed) {
  std::printf(noise == Noise::Exchanges
                  ? "\nA line where %u %% of the exchanges get a random fault (lost, cut, "
                    "garbled, padded or late), %d writes and %d reads, seed %u:\n\n"
                  : "\nA line where %u %% of the answers are spoiled (lost, cut, a bit flipped, "
                    "a byte added, or late), %d writes and %d reads, seed %u:\n\n",
              kSpoiledPerMille / 10, rounds, rounds, seed);
  std::printf(
      "| run | writes done | done, not held | reads done | read wrong | done | retries | per "
      "command |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  PrintNoisy("defaults (3 retries, read-back)",
             NoisyRounds(noise, rounds, cli::kDefaultRetries, true, seed));
  PrintNoisy("--retries 0 --no-verify", NoisyRounds(noise, rounds, 0, false, seed));
}

int Run() {
  emu::Line line;
  line.SetRecording(false);
  line.AddRegister(kNet).SetReplyDelayMs(kAnswerDelayMs);
  emu::PtyHost host(line);
  if (!host.Start()) {
    std::fprintf(stderr, "no pseudo-terminal could be opened\n");
    return 1;
  }
  std::printf("\nThe command line in process (its register commands on the pty host):\n\n");
  CleanWrites(host.DevicePath());
  host.Stop();
  const char* rounds = std::getenv("ZENOR9_BENCH_NOISY_ROUNDS");
  const char* seed = std::getenv("ZENOR9_BENCH_SEED");
  for (const Noise noise : {Noise::Exchanges, Noise::Answers}) {
    NoisyLine(noise, rounds != nullptr ? std::atoi(rounds) : 100,
              seed != nullptr ? static_cast<uint32_t>(std::atoi(seed)) : 20261207);
  }
  return 0;
}

}  // namespace
}  // namespace zenor9

int main() {
  return zenor9::Run();
}
