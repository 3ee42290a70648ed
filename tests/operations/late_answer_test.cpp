// A register that answers one exchange late, up to the longest delay the noisy
// line brings, holding back what it says after it: with retries the very next
// try of identify, a cell read and a cell write succeeds, never taking the late
// answer for its own.
#include <gtest/gtest.h>

#include "emulator/inprocess_port.h"
#include "link/commands.h"
#include "operations/prefix.h"
#include "operations/setup.h"

namespace zenor9 {
namespace {

struct LateCase {
  uint32_t delayMs;
  int identifyRetries;  // tries after the late one
  int cellRetries;
};

class LateAnswerTest : public ::testing::TestWithParam<LateCase> {
 protected:
  LateAnswerTest() {
    emu::AttachInProcess(session.channel, line, clock);
    reg.SetLateDelayMs(GetParam().delayMs);
    // Only the first try of each step is late.
    policy.onRetry = [this](const RetryNote&) { reg.SetFault(emu::Fault::LateReply, false); };
  }

  emu::Line line;
  VirtualClock clock{1000};
  emu::Register& reg = line.AddRegister(7);
  Session session;
  ExchangePolicy policy{3, {}};
};

TEST_P(LateAnswerTest, TheTryAfterALateAnswerSucceeds) {
  const LateCase& c = GetParam();
  reg.SetFault(emu::Fault::LateReply);
  const uint32_t start = clock.NowMs();
  const SetupResult identified = IdentifyRegisterAt(session, 0xF8, policy);
  ASSERT_TRUE(identified.Connected());
  EXPECT_EQ(identified.retries, c.identifyRetries);
  // The retry went out once the late echo had come and the line was quiet,
  // not a whole longest answer later: then a second identify, 440 ms.
  EXPECT_LT(clock.NowMs() - start, c.delayMs + 2 * kStrayQuietMs + 500);

  reg.SetFault(emu::Fault::LateReply);
  const PrefixReading reading = ReadPrefixCells(session, policy);
  ASSERT_TRUE(reading.Succeeded());
  EXPECT_EQ(reading.tens, '2');
  EXPECT_EQ(reading.units, '3');
  EXPECT_EQ(reading.retries, c.cellRetries);

  reg.SetFault(emu::Fault::LateReply);
  const PrefixWriting writing = WritePrefixCells(session, {'2', '7'}, policy);
  EXPECT_TRUE(writing.Succeeded());
  EXPECT_EQ(writing.retries, c.cellRetries);
  EXPECT_EQ(reg.Prefix(), "27");
}

// 300 ms misses identify's echo read but meets a cell's 500 ms echo wait; 600
// and 900 ms miss both, and reach into the next try's waits.
INSTANTIATE_TEST_SUITE_P(Delays, LateAnswerTest,
                         ::testing::Values(LateCase{300, 1, 0}, LateCase{600, 1, 1},
                                           LateCase{emu::kLateMaxMs, 1, 1}));

}  // namespace
}  // namespace zenor9
