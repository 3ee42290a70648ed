// The serial channel on virtual time: the strict waits and delays, the read
// time-outs, the wrapping tick counter, port names, and a channel that is not
// open or whose adapter is gone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "emulator/inprocess_port.h"
#include "link/channel.h"
#include "tests/link/scripted_port.h"

namespace zenor9 {
namespace {

using test::ScriptedPort;

class ChannelTest : public ::testing::Test {
 protected:
  uint32_t Elapsed() { return clock.NowMs() - start; }

  VirtualClock clock{50'000};
  SerialChannel channel;
  ScriptedPort& port = test::AttachScripted(channel, clock);
  const uint32_t start = clock.NowMs();
};

TEST_F(ChannelTest, WaitWithNothingArrivingEndsOnlyAfterMoreThanItsTimeOut) {
  EXPECT_FALSE(WaitForInput(channel, 1, 500));
  EXPECT_GT(Elapsed(), 500u);
  EXPECT_LE(Elapsed(), 502u);

  const uint32_t again = clock.NowMs();
  EXPECT_FALSE(WaitForInput(channel, 1, 0));
  EXPECT_GT(clock.NowMs() - again, 0u);
}

TEST_F(ChannelTest, WaitEndsWhenTheBytesArriveEvenOnItsLastMillisecond) {
  port.ArriveIn(123, {0x11});
  EXPECT_TRUE(WaitForInput(channel, 1, 500));
  EXPECT_EQ(Elapsed(), 123u);

  port.ArriveIn(500, {0x22});  // the wait still polls while elapsed equals the time-out
  const uint32_t again = clock.NowMs();
  EXPECT_TRUE(WaitForInput(channel, 2, 500));
  EXPECT_EQ(clock.NowMs() - again, 500u);
  EXPECT_EQ(InputQueueCount(channel), 2u);
}

TEST_F(ChannelTest, WaitWithTheBytesAlreadyQueuedReturnsAtOnceAndLeavesThemQueued) {
  port.ArriveIn(0, {1, 2, 3});
  EXPECT_TRUE(WaitForInput(channel, 3, 500));
  EXPECT_TRUE(WaitForInput(channel, 1, 0));
  EXPECT_EQ(Elapsed(), 0u);
  EXPECT_EQ(InputQueueCount(channel), 3u);
  uint8_t bytes[3] = {};
  EXPECT_EQ(ReadBytes(channel, bytes, 3), 3);
  EXPECT_EQ(bytes[2], 3);
}

TEST_F(ChannelTest, WaitForSeveralBytesNeedsAllOfThem) {
  port.ArriveIn(0, {1});
  port.ArriveIn(30, {2});
  EXPECT_TRUE(WaitForInput(channel, 2, 500));
  EXPECT_GE(Elapsed(), 30u);
  EXPECT_LE(Elapsed(), 31u);

  const uint32_t again = clock.NowMs();
  EXPECT_FALSE(WaitForInput(channel, 3, 200));  // two queued, a third never comes
  EXPECT_GT(clock.NowMs() - again, 200u);
  EXPECT_LE(clock.NowMs() - again, 202u);
  EXPECT_EQ(InputQueueCount(channel), 2u);
}

TEST_F(ChannelTest, DelayEndsOnceMoreThanItsTimeHasPassed) {
  DelayMs(clock, 40);
  EXPECT_GT(Elapsed(), 40u);
  EXPECT_LE(Elapsed(), 41u);
  const uint32_t again = clock.NowMs();
  DelayMs(clock, 0);
  EXPECT_EQ(clock.NowMs() - again, 1u);
}

// Read time-outs: 20 ms per byte plus 100 ms in all, and more than 1 ms between
// two bytes ends the read with what has come.
TEST_F(ChannelTest, ReadReturnsWhatArrivedWithinTheReadTimeOuts) {
  uint8_t bytes[5] = {};
  EXPECT_EQ(ReadBytes(channel, bytes, 1), 0);
  EXPECT_GE(Elapsed(), 120u);
  EXPECT_LE(Elapsed(), 122u);

  uint32_t mark = clock.NowMs();
  EXPECT_EQ(ReadBytes(channel, bytes, 5), 0);
  EXPECT_GE(clock.NowMs() - mark, 200u);
  EXPECT_LE(clock.NowMs() - mark, 202u);

  mark = clock.NowMs();
  port.ArriveIn(110, {0x42});  // a first byte may take up to the total time-out
  EXPECT_EQ(ReadBytes(channel, bytes, 1), 1);
  EXPECT_EQ(bytes[0], 0x42);
  EXPECT_EQ(clock.NowMs() - mark, 110u);

  mark = clock.NowMs();
  port.ArriveIn(130, {0x43});  // too late for a one-byte read
  EXPECT_EQ(ReadBytes(channel, bytes, 1), 0);
  EXPECT_LE(clock.NowMs() - mark, 122u);
  EXPECT_EQ(ReadBytes(channel, bytes, 1), 1);  // it is still delivered to the next read
  EXPECT_EQ(bytes[0], 0x43);
}

TEST_F(ChannelTest, ReadStopsWhenMoreThanOneMillisecondPassesBetweenBytes) {
  port.ArriveIn(0, {1});
  port.ArriveIn(1, {2});
  port.ArriveIn(2, {3});
  port.ArriveIn(10, {4});
  uint8_t bytes[5] = {};
  EXPECT_EQ(ReadBytes(channel, bytes, 5), 3);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_LE(Elapsed(), 5u);  // not the 200 ms total time-out
  EXPECT_EQ(ReadBytes(channel, bytes, 1), 1);
  EXPECT_EQ(bytes[0], 4);
}

TEST_F(ChannelTest, ReadOfQueuedBytesTakesNoTime) {
  port.ArriveIn(0, {9, 8, 7, 6});
  uint8_t bytes[2] = {};
  EXPECT_EQ(ReadBytes(channel, bytes, 2), 2);
  EXPECT_EQ(Elapsed(), 0u);
  EXPECT_EQ(bytes[0], 9);
  EXPECT_EQ(InputQueueCount(channel), 2u);
}

TEST_F(ChannelTest, PurgeDropsOnlyWhatHasArrived) {
  port.ArriveIn(0, {1, 2});
  port.ArriveIn(50, {3});
  PurgeChannel(channel, kPurgeTxClear);
  EXPECT_EQ(InputQueueCount(channel), 2u);
  PurgeChannel(channel, kPurgeBothQueues);
  EXPECT_EQ(InputQueueCount(channel), 0u);
  EXPECT_TRUE(WaitForInput(channel, 1, 100));
}

// The tick counter wraps at 2^32: elapsed times stay right across the wrap.
TEST(TickCounterTest, WaitsAndDelaysAreUnchangedByAWrapOfTheCounter) {
  VirtualClock clock{0xFFFF'FFFFu - 20};
  SerialChannel channel;
  ScriptedPort& port = test::AttachScripted(channel, clock);
  uint32_t start = clock.NowMs();
  DelayMs(clock, 40);
  EXPECT_GT(clock.NowMs() - start, 40u);
  EXPECT_LE(clock.NowMs() - start, 41u);
  EXPECT_LT(clock.NowMs(), start);  // the counter did wrap

  clock.Advance(0xFFFF'FFFFu - 100 - clock.NowMs());  // 100 ms below the next wrap
  start = clock.NowMs();
  EXPECT_FALSE(WaitForInput(channel, 1, 500));
  EXPECT_GT(clock.NowMs() - start, 500u);
  EXPECT_LE(clock.NowMs() - start, 502u);

  clock.Advance(0xFFFF'FFFFu - 5 - clock.NowMs());
  start = clock.NowMs();
  port.ArriveIn(30, {0x5A});  // due after the wrap
  EXPECT_TRUE(WaitForInput(channel, 1, 500));
  EXPECT_EQ(clock.NowMs() - start, 30u);
  uint8_t bytes[2] = {};
  EXPECT_EQ(ReadBytes(channel, bytes, 2), 1);  // the interval time-out ends it, past the wrap
  EXPECT_GT(clock.NowMs() - start, 30u + 1u);
  EXPECT_LE(clock.NowMs() - start, 30u + 3u);
}

TEST(TickCounterTest, SystemClockWithAnOffsetWrapsAndStillMeasuresRealTime) {
  // Place the counter 30 ms below the wrap.
  const uint32_t offset = 0u - SystemClock().NowMs() - 30u;
  SystemClock clock{offset};
  const uint32_t start = clock.NowMs();
  EXPECT_GT(start, 0xFFFF'FFFFu - 40u);
  const auto realStart = std::chrono::steady_clock::now();
  DelayMs(clock, 60);
  const auto realMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - realStart)
                          .count();
  EXPECT_LT(clock.NowMs(), start);  // wrapped
  EXPECT_GT(clock.NowMs() - start, 60u);
  EXPECT_GE(realMs, 60);
  EXPECT_LT(realMs, 200);

  SerialChannel closed;  // nothing can arrive: the wait runs out on the wrapped clock
  closed.clock = &clock;
  const auto waitStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitForInput(closed, 1, 50));
  const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - waitStart)
                          .count();
  EXPECT_GE(waitMs, 50);
  EXPECT_LT(waitMs, 200);
}

// A channel that was never opened, failed to open or was closed does nothing
// and fails quietly; its waits run out their time-outs.
TEST(ClosedChannelTest, OperationsDoNothingAndFailQuietly) {
  VirtualClock clock{7};
  emu::Line line;
  line.AddRegister(0);
  SerialChannel channel;
  channel.clock = &clock;
  channel.opener = emu::InProcessOpener(line, clock);
  for (int round = 0; round < 2; ++round) {
    const uint8_t address = 0xFF;
    EXPECT_FALSE(channel.IsOpen());
    SetParityMode(channel, ParityMode::Space);
    PurgeChannel(channel, kPurgeAll);
    EXPECT_EQ(WriteBytes(channel, &address, 1), -1);
    uint8_t byte = 0x77;
    EXPECT_EQ(ReadBytes(channel, &byte, 1), -1);
    EXPECT_EQ(byte, 0x77);
    EXPECT_EQ(InputQueueCount(channel), 0u);
    const uint32_t start = clock.NowMs();
    EXPECT_FALSE(WaitForInput(channel, 1, 500));
    EXPECT_GT(clock.NowMs() - start, 500u);
    CloseChannel(channel);
    EXPECT_TRUE(line.SentBytes().empty());
    // Second round: open and close it, then the same again.
    ASSERT_TRUE(OpenChannelDevice("emulator", channel));
    CloseChannel(channel);
  }
}

TEST(OpenChannelTest, AFailedOpenLeavesNothingOpenAndAFreePortOpensAfterIt) {
  VirtualClock clock;
  emu::Line line;
  line.AddRegister(0);
  SerialChannel channel;
  channel.clock = &clock;
  channel.opener = emu::InProcessOpener(line, clock, {"/dev/free"});
  ASSERT_TRUE(OpenChannelDevice("/dev/free", channel));
  EXPECT_FALSE(OpenChannelDevice("/dev/held", channel));
  EXPECT_FALSE(channel.IsOpen());
  CloseChannel(channel);
  CloseChannel(channel);
  ASSERT_TRUE(OpenChannelDevice("/dev/free", channel));
  const uint8_t address = 0xFF;
  EXPECT_EQ(WriteBytes(channel, &address, 1), 1);
  EXPECT_TRUE(WaitForInput(channel, 1, 500));
}

TEST(OpenChannelTest, OpeningSetsMarkAndDropsWhatWasQueued) {
  VirtualClock clock;
  SerialChannel channel;
  channel.clock = &clock;
  ScriptedPort* opened = nullptr;
  channel.opener = [&](const std::string&, const StopCheck&) -> std::unique_ptr<SerialPort> {
    auto port = std::make_unique<ScriptedPort>(clock);
    port->SetParity(ParityMode::Space);
    port->ArriveIn(0, {0x55, 0x66});
    opened = port.get();
    return port;
  };
  ASSERT_TRUE(OpenChannelDevice("any", channel));
  EXPECT_EQ(opened->Parity(), ParityMode::Mark);
  EXPECT_EQ(InputQueueCount(channel), 0u);
}

// An adapter pulled out mid-use: everything fails at once instead of waiting out
// its time-out.
TEST_F(ChannelTest, AGoneAdapterFailsEveryOperationPromptly) {
  port.ArriveIn(0, {1});
  port.Unplug();
  const uint8_t byte = 0xFF;
  EXPECT_EQ(WriteBytes(channel, &byte, 1), -1);
  EXPECT_EQ(InputQueueCount(channel), 0u);
  EXPECT_FALSE(WaitForInput(channel, 1, 500));
  uint8_t in = 0;
  EXPECT_EQ(ReadBytes(channel, &in, 1), -1);
  EXPECT_LT(Elapsed(), 5u);
  CloseChannel(channel);
  EXPECT_FALSE(channel.IsOpen());
}

}  // namespace
}  // namespace zenor9
