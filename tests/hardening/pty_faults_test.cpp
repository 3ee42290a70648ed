// Bad lines, end to end: the real POSIX backend against the emulator's pty host
// with a register that vanishes, sends noise, answers late, answers together with
// another one, or ignores writes. Each case must end in the failure its exchange
// names, within its waits, without spinning, and leave the next set-up working.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "emulator/pty_host.h"
#include "link/commands.h"
#include "link/net_number.h"
#include "operations/setup.h"
#include "tests/hardening/cost_meter.h"

namespace zenor9 {
namespace {

using emu::Fault;

constexpr uint8_t kAddress = 0xF8;  // net number 7
constexpr uint16_t kTensCell = 11887;
// Room for a loaded machine above a wait's nominal end; the lower bounds are exact.
constexpr double kLateToleranceMs = 200;

struct Outcome {
  bool result;
  double wallMs;
  double cpuMs;
};

class PtyFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg = &line.AddRegister(7);
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(OpenChannelDevice(host.DevicePath(), channel));
  }

  static Outcome Measure(const std::function<bool()>& operation) {
    const CostMeter meter;
    const bool result = operation();
    return {result, meter.WallMs(), meter.CpuMs()};
  }

  bool Read(uint8_t& value) { return ReadRegisterByte(channel, kAddress, kTensCell, value); }
  bool Write(uint8_t value) { return WriteRegisterByte(channel, kAddress, kTensCell, value); }
  bool Identify() {
    int32_t version = 0;
    return IdentifyRegister(channel, kAddress, version) != IdentifyAnswer::None;
  }

  // Waiting must not cost a core: a tenth of the wall time at most, plus a couple
  // of milliseconds for the work around a short exchange.
  static void ExpectNoSpin(const Outcome& outcome) {
    EXPECT_LT(outcome.cpuMs, 0.10 * outcome.wallMs + 2.0)
        << "cpu " << outcome.cpuMs << " ms over " << outcome.wallMs << " ms";
  }

  // A fresh line and host, set up through the same channel object: the broken
  // port is closed and a working one found, identified and accepted.
  void ExpectNextSetUpWorks() {
    emu::Line freshLine;
    freshLine.AddRegister(12);
    emu::PtyHost freshHost(freshLine);
    ASSERT_TRUE(freshHost.Start());
    session.addressByte = kInitialAddressByte;
    EXPECT_TRUE(SetUpInterface(session, {ChoosePort(freshHost.DevicePath()), true}).Connected());
    EXPECT_EQ(session.addressByte, 0xED);
    EXPECT_EQ(session.versionCode, 105);
    CloseChannel(channel);
  }

  emu::Line line;
  emu::Register* reg = nullptr;
  emu::PtyHost host{line};
  Session session;
  SerialChannel& channel = session.channel;
};

TEST_F(PtyFaultsTest, RegisterVanishesWhileAReadWaitsForItsAcknowledgement) {
  reg->SetFault(Fault::NoAck);
  std::thread unplug([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    host.Vanish();
  });
  uint8_t value = 0;
  const Outcome read = Measure([&] { return Read(value); });
  unplug.join();
  EXPECT_FALSE(read.result);
  EXPECT_GE(read.wallMs, 200);
  EXPECT_LT(read.wallMs, 200 + kLateToleranceMs);  // long before the 700 ms wait ends
  ExpectNoSpin(read);

  // The dead port fails every further command at once.
  const Outcome write = Measure([&] { return Write('5'); });
  EXPECT_FALSE(write.result);
  EXPECT_LT(write.wallMs, 50);
  uint8_t address = 0x42;
  const Outcome scan = Measure([&] { return DetectAddressByte(channel, address); });
  EXPECT_FALSE(scan.result);
  EXPECT_EQ(address, 0x42);
  EXPECT_LT(scan.wallMs, 50);
  ExpectNextSetUpWorks();
}

TEST_F(PtyFaultsTest, RegisterVanishesDuringIdentifyAndDuringAScan) {
  std::thread unplug([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host.Vanish();
  });
  // Identify's fixed delays run out; the reads after them find the device gone.
  const Outcome identify = Measure([&] { return Identify(); });
  unplug.join();
  EXPECT_FALSE(identify.result);
  EXPECT_GT(identify.wallMs, 440);
  EXPECT_LT(identify.wallMs, 440 + kLateToleranceMs);
  ExpectNoSpin(identify);
  ExpectNextSetUpWorks();

  emu::Line silentLine;  // nobody answers: the scan would take a second
  emu::PtyHost silentHost(silentLine);
  ASSERT_TRUE(silentHost.Start());
  ASSERT_TRUE(OpenChannelDevice(silentHost.DevicePath(), channel));
  std::thread unplugScan([&silentHost] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    silentHost.Vanish();
  });
  uint8_t address = 0x42;
  const Outcome scan = Measure([&] { return DetectAddressByte(channel, address); });
  unplugScan.join();
  EXPECT_FALSE(scan.result);
  EXPECT_EQ(address, 0x42);
  EXPECT_LT(scan.wallMs, 200 + kLateToleranceMs);
  ExpectNoSpin(scan);
  ExpectNextSetUpWorks();
}

TEST_F(PtyFaultsTest, NoiseBeforeTheEchoFailsEveryCommandAtOnce) {
  reg->SetFault(Fault::NoiseByte);
  uint8_t value = 0;
  for (const Outcome& outcome :
       {Measure([&] { return Read(value); }), Measure([&] { return Write('5'); })}) {
    EXPECT_FALSE(outcome.result);
    // At the wrong byte, not when the echo wait runs out: the bound is that
    // wait, which leaves a loaded machine (sanitizers, two jobs) its room.
    EXPECT_LT(outcome.wallMs, kEchoWaitMs);
  }
  const Outcome identify = Measure([&] { return Identify(); });
  EXPECT_FALSE(identify.result);  // the noise byte is read where the echo belongs
  EXPECT_LT(identify.wallMs, 40 + kLateToleranceMs);

  // The scan stops at the first foreign byte: after the 7 silent probes before it.
  uint8_t address = 0x42;
  const Outcome scan = Measure([&] { return DetectAddressByte(channel, address); });
  EXPECT_FALSE(scan.result);
  EXPECT_EQ(address, 0x42);
  EXPECT_GT(scan.wallMs, 7 * 10);
  EXPECT_LT(scan.wallMs, 8 * 11 + kLateToleranceMs);
  ExpectNoSpin(scan);
  EXPECT_EQ(reg->Prefix(), "23");  // the write never got past its address byte
  ExpectNextSetUpWorks();
}

TEST_F(PtyFaultsTest, AnswersLaterThanTheWaitsFailAfterThem) {
  reg->SetFault(Fault::LateReply);
  reg->SetLateDelayMs(800);
  // Each late echo would reach the next command's own wait: let it pass first.
  const auto letTheLateEchoPass = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  };
  uint8_t value = 0;
  for (const std::function<bool()>& command : std::vector<std::function<bool()>>{
           [&] { return Read(value); }, [&] { return Write('5'); }}) {
    const Outcome outcome = Measure(command);
    EXPECT_FALSE(outcome.result);
    EXPECT_GT(outcome.wallMs, 500);  // the echo wait, and not a millisecond less
    EXPECT_LT(outcome.wallMs, 500 + kLateToleranceMs);
    ExpectNoSpin(outcome);
    letTheLateEchoPass();
  }
  // Identify reads the echo after its 40 ms delay with a 1-byte read (120 ms).
  const Outcome identify = Measure([&] { return Identify(); });
  EXPECT_FALSE(identify.result);
  EXPECT_GT(identify.wallMs, 40 + 120);
  EXPECT_LT(identify.wallMs, 40 + 120 + kLateToleranceMs);
  ExpectNoSpin(identify);
  ExpectNextSetUpWorks();
}

TEST_F(PtyFaultsTest, AnswersLateButWithinTheWaitsStillSucceed) {
  reg->SetReplyDelayMs(150);
  uint8_t value = 0;
  const Outcome read = Measure([&] { return Read(value); });
  EXPECT_TRUE(read.result);
  EXPECT_EQ(value, '2');
  // The echo, then the acknowledgement with the reply; the register counts its
  // delays in whole milliseconds, so each may come up to 1 ms early.
  EXPECT_GT(read.wallMs, 2 * (150 - 1));
  ExpectNoSpin(read);
}

TEST_F(PtyFaultsTest, TwoDevicesAnsweringAtOnceGarbleTheAnswers) {
  reg->SetFault(Fault::TwoDevices);
  uint8_t value = 0;
  const Outcome read = Measure([&] { return Read(value); });
  EXPECT_FALSE(read.result);
  EXPECT_LT(read.wallMs, 100);
  session.addressByte = 0x42;
  const Outcome setUp = Measure([&] {
    return SetUpInterface(session, {ChoosePort(host.DevicePath()), true}).outcome ==
           SetupOutcome::NoAnswerToScan;
  });
  EXPECT_TRUE(setUp.result);
  EXPECT_EQ(session.addressByte, 0x42);
  EXPECT_LT(setUp.wallMs, 8 * 11 + kLateToleranceMs);
  ExpectNextSetUpWorks();
}

TEST_F(PtyFaultsTest, TwoRegistersWithTheSameNetNumberTakeTheSecondEchoForTheAnswer) {
  emu::Register& twin = line.AddRegister(7);
  uint8_t value = 0;
  const Outcome read = Measure([&] { return Read(value); });
  EXPECT_FALSE(read.result);  // the twin's echo stands where the acknowledgement belongs
  EXPECT_LT(read.wallMs, 100);
  // Their answers to the frame are still on their way; the next command's purge
  // drops them only once they are in.
  const auto letTheAnswersArrive = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  };
  letTheAnswersArrive();
  const Outcome write = Measure([&] { return Write('5'); });
  EXPECT_FALSE(write.result);
  letTheAnswersArrive();
  // Both heard the frame: a write reported as failed may still have been stored.
  EXPECT_EQ(twin.Prefix(), "53");

  // The scan finds the net number (both echo the same byte), identify does not pass.
  session.addressByte = 0x42;
  session.versionCode = -1;
  EXPECT_EQ(SetUpInterface(session, {ChoosePort(host.DevicePath()), true}).outcome,
            SetupOutcome::NoAnswerToIdentify);
  EXPECT_EQ(session.addressByte, kAddress);
  EXPECT_EQ(session.versionCode, -1);
  ExpectNextSetUpWorks();
}

TEST_F(PtyFaultsTest, ARegisterThatIgnoresWritesIsCaughtOnlyByTheReadBack) {
  reg->SetFault(Fault::IgnoreWrites);
  const Outcome write = Measure([&] { return Write('7'); });
  EXPECT_TRUE(write.result);  // acknowledged: the link cannot tell
  uint8_t value = 0;
  EXPECT_TRUE(Read(value));
  EXPECT_EQ(value, '2');  // the read-back shows what the register really holds
  EXPECT_EQ(reg->Prefix(), "23");
  ExpectNextSetUpWorks();
}

}  // namespace
}  // namespace zenor9
