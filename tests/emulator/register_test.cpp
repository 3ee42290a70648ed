// The register emulator: registers sharing one line, each answering only its
// own address, and every switchable fault ending in the failure the program
// must see, driven through the link's own commands on virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "emulator/inprocess_port.h"
#include "link/commands.h"
#include "link/net_number.h"

namespace zenor9 {
namespace {

using emu::Fault;

TEST(RegisterModelTest, StartsWithPrefix23AndVersion105) {
  emu::Register reg(37);
  EXPECT_EQ(reg.AddressByte(), 0xC8);
  EXPECT_EQ(reg.ReadRam(11887), '2');
  EXPECT_EQ(reg.ReadRam(11888), '3');
  EXPECT_EQ(reg.Prefix(), "23");
  reg.SetPrefix("25");
  EXPECT_EQ(reg.ReadRam(11887), 0x32);
  EXPECT_EQ(reg.ReadRam(11888), 0x35);
  reg.SetPrefix("off");
  EXPECT_EQ(reg.ReadRam(11887), 0xFF);
  EXPECT_EQ(reg.ReadRam(11888), 0xFF);
  EXPECT_EQ(reg.Prefix(), "off");
  reg.WriteRam(11887, '2');
  EXPECT_EQ(reg.Prefix(), "off");  // 0xFF in either cell
}

TEST(RegisterModelTest, FaultNamesRoundTrip) {
  EXPECT_EQ(emu::AllFaults().size(), 12u);
  for (Fault fault : emu::AllFaults()) {
    Fault parsed = Fault::Silent;
    ASSERT_TRUE(emu::ParseFault(emu::FaultName(fault), parsed)) << emu::FaultName(fault);
    EXPECT_EQ(parsed, fault);
  }
  Fault parsed = Fault::NoAck;
  EXPECT_FALSE(emu::ParseFault("no_ack", parsed));
  EXPECT_FALSE(emu::ParseFault("", parsed));
  EXPECT_EQ(parsed, Fault::NoAck);
}

class LineTest : public ::testing::Test {
 protected:
  LineTest() { emu::AttachInProcess(channel, line, clock); }

  std::vector<uint8_t> ReceivedByProgram() const {
    std::vector<uint8_t> received;
    for (const emu::WireByte& b : line.Log()) {
      if (!b.toRegister) received.push_back(b.value);
    }
    return received;
  }

  emu::Line line;
  VirtualClock clock{100};
  SerialChannel channel;
};

TEST_F(LineTest, SeveralRegistersEachAnswerOnlyTheirOwnAddress) {
  emu::Register& a = line.AddRegister(3);
  emu::Register& b = line.AddRegister(37);
  emu::Register& c = line.AddRegister(99, 0x10, 0x23);
  a.SetPrefix("21");
  b.SetPrefix("22");
  c.SetPrefix("off");
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, 0xFC, 11888, value));
  EXPECT_EQ(value, '1');
  ASSERT_TRUE(ReadRegisterByte(channel, 0xC8, 11888, value));
  EXPECT_EQ(value, '2');
  ASSERT_TRUE(ReadRegisterByte(channel, 0x66, 11888, value));
  EXPECT_EQ(value, 0xFF);
  int32_t version = 0;
  ASSERT_NE(IdentifyRegister(channel, 0x66, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 1023);
  ASSERT_NE(IdentifyRegister(channel, 0xFC, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 105);

  ASSERT_TRUE(WriteRegisterByte(channel, 0xC8, 11887, '9'));
  EXPECT_EQ(b.Prefix(), "92");
  EXPECT_EQ(a.Prefix(), "21");
  EXPECT_EQ(c.Prefix(), "off");

  // One address byte, one echo: the others keep quiet.
  line.ClearLog();
  ASSERT_TRUE(WriteRegisterByte(channel, 0xFC, 11887, '2'));
  EXPECT_EQ(ReceivedByProgram(), (std::vector<uint8_t>{0xFC, 0x25}));  // echo, acknowledgement
  // An address nobody has gets no answer.
  EXPECT_FALSE(ReadRegisterByte(channel, 0xC7, 11887, value));
}

TEST_F(LineTest, FramesInMarkOrWithABadSumAreIgnored) {
  line.AddRegister(1);
  const uint8_t address = 0xFE;
  WriteBytes(channel, &address, 1);
  ASSERT_TRUE(WaitForInput(channel, 1, 10));
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Space);
  const uint8_t damaged[] = {0x01, 0x14, 0xEB};
  WriteBytes(channel, damaged, 3);
  EXPECT_FALSE(WaitForInput(channel, 1, 50));
  // A frame that arrives in Mark is an address byte to everyone, not a frame.
  SetParityMode(channel, ParityMode::Mark);
  const uint8_t identify[] = {0x01, 0x14, 0xEA};
  WriteBytes(channel, identify, 3);
  EXPECT_FALSE(WaitForInput(channel, 1, 50));
}

TEST_F(LineTest, ReplyDelaysPlaceTheAnswersInTime) {
  emu::Register& reg = line.AddRegister(5);
  reg.SetReplyDelayMs(30);
  const uint32_t start = clock.NowMs();
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, 0xFA, 11887, value));
  EXPECT_GE(clock.NowMs() - start, 60u);  // echo, then acknowledgement and reply
  EXPECT_LE(clock.NowMs() - start, 62u);
  const std::vector<emu::WireByte> log = line.Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front().timeMs, start);
  EXPECT_EQ(log.front().parity, ParityMode::Mark);
}

// Each fault against each command, on a register at net number 4.
struct FaultCase {
  Fault fault;
  bool read;
  bool write;
  bool identify;
  int32_t version;  // when identify succeeds
  bool scan;
};

class FaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  FaultTest() : reg(line.AddRegister(4)) { emu::AttachInProcess(channel, line, clock); }

  emu::Line line;
  emu::Register& reg;
  VirtualClock clock{100};
  SerialChannel channel;
  static constexpr uint8_t kAddress = 0xFB;
};

TEST_P(FaultTest, EndsInTheFailureTheProgramMustSee) {
  const FaultCase& c = GetParam();
  reg.SetFault(c.fault);
  uint8_t value = 0;
  EXPECT_EQ(ReadRegisterByte(channel, kAddress, 11887, value), c.read);
  if (c.read) {
    EXPECT_EQ(value, '2');
  }
  EXPECT_EQ(WriteRegisterByte(channel, kAddress, 11888, '7'), c.write);
  int32_t version = -1;
  EXPECT_EQ(IdentifyRegister(channel, kAddress, version) != IdentifyAnswer::None, c.identify);
  EXPECT_EQ(version, c.identify ? c.version : -1);
  uint8_t found = 0x42;
  EXPECT_EQ(DetectAddressByte(channel, found), c.scan);
  EXPECT_EQ(found, c.scan ? kAddress : 0x42);

  // Switched off, the register serves normally again.
  reg.ClearFaults();
  clock.Advance(2000);  // let late answers land
  EXPECT_TRUE(ReadRegisterByte(channel, kAddress, 11887, value));
  EXPECT_TRUE(WriteRegisterByte(channel, kAddress, 11888, '8'));
  EXPECT_EQ(reg.Prefix(), "28");
}

INSTANTIATE_TEST_SUITE_P(
    AllFaults, FaultTest,
    ::testing::Values(FaultCase{Fault::Silent, false, false, false, 0, false},
                      FaultCase{Fault::NoEcho, false, false, false, 0, false},
                      FaultCase{Fault::WrongEcho, false, false, false, 0, false},
                      FaultCase{Fault::NoAck, false, false, false, 0, true},
                      FaultCase{Fault::WrongAck, false, false, false, 0, true},
                      FaultCase{Fault::BadReplyCheck, false, true, true, 0, true},
                      FaultCase{Fault::ShortReply, false, true, true, 0, true},
                      FaultCase{Fault::LateReply, false, false, false, 0, false},
                      FaultCase{Fault::NoiseByte, false, false, false, 0, false},
                      FaultCase{Fault::TwoDevices, false, false, false, 0, false},
                      FaultCase{Fault::IgnoreWrites, true, true, true, 105, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
      std::string name = emu::FaultName(info.param.fault);
      std::erase(name, '-');
      return name;
    });

// The noisy lines the benchmark measures. Under `late` each exchange gets a
// delay of its own over the whole range, and what the register says after a
// late answer waits behind it, as from one UART. A spoiling line spoils its
// share of answers, each in a way the program can see, in all of its ways.
TEST_F(LineTest, LateAndSpoiledAnswersAreWhatTheNoisyLinesSayTheyAre) {
  emu::Register& reg = line.AddRegister(0);
  const uint8_t address = 0xFF;
  uint32_t sent = 0;
  const auto send = [&] {
    clock.Advance(emu::kLateMaxMs + 10);  // what was on its way has come
    PurgeChannel(channel, kPurgeAll);
    sent = clock.NowMs();
    WriteBytes(channel, &address, 1);
  };
  const auto echo = [&] {  // false when none came within the longest delay
    send();
    return WaitForInput(channel, 1, emu::kLateMaxMs + 10);
  };
  reg.SetFault(Fault::Late);
  std::vector<uint32_t> delays;
  while (delays.size() < 40 && echo()) delays.push_back(clock.NowMs() - sent);
  ASSERT_EQ(delays.size(), 40u);
  const auto [least, most] = std::minmax_element(delays.begin(), delays.end());
  EXPECT_TRUE(*least >= emu::kLateMinMs && *least < 100 && *most > 800 && *most <= 901)
      << *least << " " << *most;
  send();
  reg.SetFault(Fault::Late, false);
  WriteBytes(channel, &address, 1);  // a prompt answer, queued behind the late one
  ASSERT_TRUE(WaitForInput(channel, 1, emu::kLateMaxMs + 10));
  EXPECT_GE(clock.NowMs() - sent, emu::kLateMinMs);
  EXPECT_EQ(InputQueueCount(channel), 2u);

  line.SetSpoiledAnswers(150, 7);
  int lost = 0, flipped = 0, added = 0, late = 0;
  for (int i = 0; i < 2000; ++i) {
    if (!echo()) {
      ++lost;  // or cut short: an echo is a single byte
      continue;
    }
    late += clock.NowMs() - sent >= emu::kLateMinMs ? 1 : 0;
    clock.Advance(2);
    uint8_t bytes[2] = {};
    const int count = ReadBytes(channel, bytes, 2);
    added += count == 2 ? 1 : 0;
    flipped += count == 1 && bytes[0] != address ? 1 : 0;
  }
  const int spoiled = lost + flipped + added + late;
  EXPECT_EQ(static_cast<uint64_t>(spoiled), line.SpoiledAnswerCount());
  EXPECT_TRUE(spoiled > 240 && spoiled < 360) << spoiled;
  for (int kind : {lost, flipped, added, late}) EXPECT_GT(kind, 20);
}

TEST_F(LineTest, IgnoredWritesAreAcknowledgedButNotStored) {
  emu::Register& reg = line.AddRegister(4);
  reg.SetFault(Fault::IgnoreWrites);
  ASSERT_TRUE(WriteRegisterByte(channel, 0xFB, 11887, '9'));
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, 0xFB, 11887, value));
  EXPECT_EQ(value, '2');
}

TEST_F(LineTest, AnUnpluggedLineFailsItsPortsUntilPluggedBack) {
  line.AddRegister(0);
  line.SetUnplugged(true);
  int32_t version = 0;
  EXPECT_EQ(IdentifyRegister(channel, 0xFF, version), IdentifyAnswer::None);
  line.SetUnplugged(false);
  EXPECT_NE(IdentifyRegister(channel, 0xFF, version), IdentifyAnswer::None);
}

TEST_F(LineTest, WithRecordingOffTheObserverStillSeesEveryByte) {
  line.AddRegister(0);
  line.SetRecording(false);
  std::vector<emu::WireByte> seen;
  line.SetObserver([&](const emu::WireByte& b) { seen.push_back(b); });
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, 0xFF, 11887, value));
  EXPECT_TRUE(line.Log().empty());
  ASSERT_EQ(seen.size(), 12u);  // 1 + 6 sent, echo + ack + 3 reply bytes received
  EXPECT_TRUE(seen[0].toRegister);
  EXPECT_FALSE(seen[1].toRegister);
}

}  // namespace
}  // namespace zenor9
