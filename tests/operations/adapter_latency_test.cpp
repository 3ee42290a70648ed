// A USB adapter's latency timer between the line and the program (emulated):
// an echo held longer than the scan's 10 ms probe wait arrives during the next
// probe and ends the scan, while the exchanges with their longer time-outs
// still work; a short timer leaves the scan working.
#include <gtest/gtest.h>

#include <algorithm>

#include "emulator/inprocess_port.h"
#include "link/commands.h"
#include "link/net_number.h"
#include "operations/setup.h"

namespace zenor9 {
namespace {

struct LatencyCase {
  uint32_t latencyMs;
  SetupOutcome withScan;
};

class AdapterLatencyTest : public ::testing::TestWithParam<LatencyCase> {};

TEST_P(AdapterLatencyTest, TheScanMissesEchoesHeldPastItsProbeWait) {
  emu::Line line;
  VirtualClock clock{10};
  line.AddRegister(7);
  line.SetAdapterLatency(GetParam().latencyMs);
  Session session;
  session.channel.clock = &clock;
  session.channel.opener = emu::InProcessOpener(line, clock);

  const SetupResult scanned = SetUpInterface(session, {ChoosePort("adapter"), true});
  EXPECT_EQ(scanned.outcome, GetParam().withScan);
  if (GetParam().withScan != SetupOutcome::Connected) {
    // The echo of probe 7 came back during probe 8's wait: the scan stopped
    // there, and the stray byte is told as the late echo of net number 7.
    const std::vector<uint8_t> sent = line.SentBytes();
    EXPECT_EQ(sent.back(), AddressByteOfNetNumber(8));
    EXPECT_EQ(session.addressByte, 0xFF);  // unchanged
    ASSERT_TRUE(scanned.stray);
    EXPECT_EQ(LateEchoOf(*scanned.stray), std::optional<uint8_t>(7));
  } else {
    EXPECT_FALSE(scanned.stray);
  }
  // A stray byte that is no earlier probe's address byte is noise.
  EXPECT_FALSE(LateEchoOf({8, ProbeCandidate(8), ProbeResult::Other, 0x5A}));
  EXPECT_FALSE(LateEchoOf({8, ProbeCandidate(8), ProbeResult::Other, ProbeCandidate(9)}));
  // With the net number given, identify waits long enough for the held bytes.
  session.addressByte = AddressByteOfNetNumber(7);
  EXPECT_TRUE(SetUpInterface(session, {ChoosePort("adapter"), false}).Connected());
  EXPECT_EQ(session.versionCode, 105);
}

INSTANTIATE_TEST_SUITE_P(Timers, AdapterLatencyTest,
                         ::testing::Values(LatencyCase{0, SetupOutcome::Connected},
                                           LatencyCase{1, SetupOutcome::Connected},
                                           LatencyCase{8, SetupOutcome::Connected},
                                           LatencyCase{16, SetupOutcome::NoAnswerToScan}));

TEST(AdapterLatencyBatchTest, BytesArrivingWhileABatchIsHeldLeaveWithIt) {
  emu::Line line;
  line.AddRegister(0);
  line.SetAdapterLatency(16);
  const auto echoDelay = [&](uint32_t timeMs) {
    const std::vector<emu::Emission> echo = line.Deliver(0xFF, ParityMode::Mark, timeMs);
    return echo.empty() ? -1 : static_cast<int>(echo.front().delayMs);
  };
  // The register's echo is due 1 ms after the byte it answers.
  EXPECT_EQ(echoDelay(100), 17);  // opens a batch that leaves at 117
  EXPECT_EQ(echoDelay(105), 12);  // joins it
  EXPECT_EQ(echoDelay(116), 1);   // due as it leaves: still in it
  EXPECT_EQ(echoDelay(117), 17);  // the next batch
  line.SetAdapterLatency(0);
  EXPECT_EQ(echoDelay(200), 1);
}

}  // namespace
}  // namespace zenor9
