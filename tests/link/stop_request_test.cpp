// A stop asked of the channel (the program's user pressed Ctrl-C): waits and
// delays give up within a slice of time, commands fail instead of waiting out
// their time-outs, and a scan sends no further probe.
#include <gtest/gtest.h>

#include "emulator/inprocess_port.h"
#include "link/commands.h"
#include "link/net_number.h"
#include "tests/link/scripted_port.h"

namespace zenor9 {
namespace {

class StopRequestTest : public ::testing::Test {
 protected:
  uint32_t Elapsed() { return clock.NowMs() - start; }
  void StopAfter(uint32_t ms) {
    const uint32_t from = clock.NowMs();
    channel.stopRequested = [this, from, ms] { return clock.NowMs() - from >= ms; };
  }

  VirtualClock clock{7'000};
  SerialChannel channel;
  test::ScriptedPort& port = test::AttachScripted(channel, clock);
  const uint32_t start = clock.NowMs();
};

TEST_F(StopRequestTest, WaitsAndDelaysEndSoonAfterTheStopAndOnlyThen) {
  StopAfter(100);
  DelayMs(channel, 400);
  EXPECT_GE(Elapsed(), 100u);
  EXPECT_LE(Elapsed(), 110u);

  // Part of the bytes waited for has come: the wait looks again every millisecond.
  StopAfter(50);
  const uint32_t before = clock.NowMs();
  port.ArriveIn(0, {0x11});
  EXPECT_FALSE(WaitForInput(channel, 2, 700));
  EXPECT_EQ(clock.NowMs() - before, 50u);

  // Bytes already there still count, stop or not.
  EXPECT_TRUE(WaitForInput(channel, 1, 700));
  EXPECT_EQ(InputQueueCount(channel), 1u);

  // Without a stop check the delay is the plain one: more than its time, by one.
  channel.stopRequested = nullptr;
  const uint32_t plain = clock.NowMs();
  DelayMs(channel, 400);
  EXPECT_EQ(clock.NowMs() - plain, 401u);
}

TEST_F(StopRequestTest, AWaitWithNothingArrivingEndsSoonAfterTheStop) {
  // The port's readiness wait runs whole here, as a Windows port's does.
  StopAfter(100);
  EXPECT_FALSE(WaitForInput(channel, 1, 700));
  EXPECT_GE(Elapsed(), 100u);
  EXPECT_LE(Elapsed(), 110u);
}

TEST_F(StopRequestTest, ReadGivesUpItsTimeOutOnceAStopIsAsked) {
  StopAfter(0);
  uint8_t bytes[3] = {};
  EXPECT_EQ(ReadBytes(channel, bytes, 3), 0);
  EXPECT_LE(Elapsed(), 1u);  // instead of 20 * 3 + 100 ms
}

TEST(StopRequestCommandsTest, CommandsFailAtTheirFirstWaitWithoutWaitingItOut) {
  emu::Line line;
  line.AddRegister(37).SetFault(emu::Fault::Silent);
  VirtualClock clock{0};
  SerialChannel channel;
  emu::AttachInProcess(channel, line, clock);
  channel.stopRequested = [] { return true; };

  int32_t version = 7;
  EXPECT_EQ(IdentifyRegister(channel, AddressByteOfNetNumber(37), version), IdentifyAnswer::None);
  EXPECT_EQ(version, 7);
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, AddressByteOfNetNumber(37), 0x2E6F, value));
  EXPECT_FALSE(WriteRegisterByte(channel, AddressByteOfNetNumber(37), 0x2E6F, '5'));
  EXPECT_LE(clock.NowMs(), 5u);  // instead of 440 + 500 + 500 ms
}

TEST(StopRequestCommandsTest, AScanStopsProbingAtTheStopAndKeepsTheAddressByte) {
  emu::Line line;
  line.AddRegister(60);
  VirtualClock clock{0};
  SerialChannel channel;
  emu::AttachInProcess(channel, line, clock);
  int probes = 0;
  line.SetObserver([&probes](const emu::WireByte& byte) { probes += byte.toRegister ? 1 : 0; });
  channel.stopRequested = [&probes] { return probes >= 5; };

  uint8_t address = 0x42;
  EXPECT_FALSE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0x42);
  EXPECT_EQ(probes, 5);
  EXPECT_LE(clock.NowMs(), 5u * 12);
}

}  // namespace
}  // namespace zenor9
