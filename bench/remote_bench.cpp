// Measures a remote line: Debian's ser2net on 127.0.0.1 serving registers on
// the emulator's pseudo-terminal host, reached through the RFC 2217 backend,
// directly and through a proxy that holds every chunk for half of a round trip
// of 10 or 20 ms. Prints a Markdown table: the round trip the backend measured
// at connect, the median time of one read and one write of a RAM byte, and of
// a scan of all 100 net numbers with the registers it found (3, 4 and 12 are
// there). One row has ser2net's default TCP settings (Nagle on its side).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../tests/cli/remote_line_support.h"
#include "emulator/pty_host.h"
#include "link/commands.h"
#include "link/net_number.h"

namespace zenor9 {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr uint16_t kTensCell = 11887;
constexpr int kExchanges = 30;
constexpr int kScans = 3;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double TimedMs(const std::function<void()>& operation) {
  const auto start = SteadyClock::now();
  operation();
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

std::string FoundText(const std::vector<int>& nets) {
  std::string text;
  for (int net : nets) text += (text.empty() ? "" : ",") + std::to_string(net);
  return text.empty() ? "none" : text;
}

void MeasureRow(const std::string& label, const std::string& address) {
  SerialChannel channel;
  if (!OpenChannelDevice(address, channel)) {
    // The bench names the failure by its numbers: the words are the front ends'.
    std::printf("| %s | did not open: failure %d, detail %d |\n", label.c_str(),
                static_cast<int>(channel.openFailure),
                static_cast<int>(channel.openFailureDetail.what));
    return;
  }
  const uint8_t net4 = AddressByteOfNetNumber(4);
  std::vector<double> reads;
  std::vector<double> writes;
  int failures = 0;
  for (int i = 0; i < kExchanges; ++i) {
    uint8_t value = 0;
    reads.push_back(
        TimedMs([&] { failures += !ReadRegisterByte(channel, net4, kTensCell, value); }));
    writes.push_back(
        TimedMs([&] { failures += !WriteRegisterByte(channel, net4, kTensCell, '2'); }));
  }
  std::vector<double> scans;
  std::vector<int> found;
  for (int i = 0; i < kScans; ++i) {
    found.clear();
    scans.push_back(TimedMs([&] {
      WalkNetNumbers(channel, {}, [&](const ProbeReport& report) {
        if (report.result != ProbeResult::Silent) found.push_back(report.net);
        return true;
      });
    }));
  }
  std::printf("| %s | %u | %u | %.1f | %.1f | %d | %.0f | %s |\n", label.c_str(),
              RoundTripMs(channel), ProbeWaitMs(channel), Median(reads), Median(writes), failures,
              Median(scans), FoundText(found).c_str());
  CloseChannel(channel);
}

int Run() {
  emu::Line line;
  for (int net : {3, 4, 12}) line.AddRegister(static_cast<uint8_t>(net));
  line.SetRecording(false);
  emu::PtyHost host(line);
  if (!host.Start()) {
    std::printf("no pseudo-terminal\n");
    return 1;
  }
  std::printf(
      "| line | round trip measured, ms | probe wait, ms | read, median ms | write, median ms "
      "| failed exchanges | scan, median ms | scan found |\n|---|---|---|---|---|---|---|---|\n");
  {
    testing::Ser2net server(host.DevicePath());
    if (!server.Problem().empty()) {
      std::printf("%s\n", server.Problem().c_str());
      return 1;
    }
    MeasureRow("ser2net tcp(nodelay), loopback", server.Address());
    for (uint32_t oneWayMs : {5u, 10u}) {
      testing::DelayProxy network(server.Port(), oneWayMs);
      MeasureRow("the same through a " + std::to_string(2 * oneWayMs) + " ms round trip",
                 network.Address());
    }
  }
  testing::Ser2net defaults(host.DevicePath(), false);
  MeasureRow("ser2net default TCP settings, loopback", defaults.Address());
  return 0;
}

}  // namespace
}  // namespace zenor9

int main() {
  return zenor9::Run();
}
