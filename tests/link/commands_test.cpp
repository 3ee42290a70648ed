// The three commands on the in-process emulator: the exact bytes and parity on
// the wire, the checks of the answers, every failure row, on virtual time.
#include <gtest/gtest.h>

#include "emulator/inprocess_port.h"
#include "link/commands.h"
#include "link/frame.h"
#include "tests/link/scripted_port.h"

namespace zenor9 {
namespace {

using emu::Fault;

class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() : reg(line.AddRegister(37)) { emu::AttachInProcess(channel, line, clock); }

  // Bytes sent to the register, each with its ninth bit.
  std::vector<std::pair<uint8_t, ParityMode>> Sent() const {
    std::vector<std::pair<uint8_t, ParityMode>> sent;
    for (const emu::WireByte& b : line.Log()) {
      if (b.toRegister) sent.emplace_back(b.value, b.parity);
    }
    return sent;
  }

  uint32_t Elapsed(uint32_t start) { return clock.NowMs() - start; }

  emu::Line line;
  emu::Register& reg;
  VirtualClock clock{1000};
  SerialChannel channel;
  const uint8_t address = 0xC8;  // net number 37
};

using P = ParityMode;

TEST_F(CommandsTest, IdentifySendsAddressInMarkThenFrameInSpace) {
  int32_t version = -1;
  ASSERT_NE(IdentifyRegister(channel, address, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 105);
  const std::vector<std::pair<uint8_t, ParityMode>> expected{
      {0xC8, P::Mark}, {0x01, P::Space}, {0x14, P::Space}, {0xEA, P::Space}};
  EXPECT_EQ(Sent(), expected);
}

TEST_F(CommandsTest, ReadAndWriteSendTheExactFrames) {
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_EQ(value, '2');
  ASSERT_TRUE(WriteRegisterByte(channel, address, 0x2E6F, 0x32));
  ASSERT_TRUE(WriteRegisterByte(channel, address, 0x2E70, 0xFF));
  const std::vector<std::pair<uint8_t, ParityMode>> expected{
      {0xC8, P::Mark},  {0x04, P::Space}, {0x06, P::Space}, {0x6F, P::Space},
      {0x2E, P::Space}, {0x01, P::Space}, {0x57, P::Space},  // read
      {0xC8, P::Mark},  {0x05, P::Space}, {0x05, P::Space}, {0x6F, P::Space},
      {0x2E, P::Space}, {0x01, P::Space}, {0x32, P::Space}, {0x25, P::Space},  // write 0x32
      {0xC8, P::Mark},  {0x05, P::Space}, {0x05, P::Space}, {0x70, P::Space},
      {0x2E, P::Space}, {0x01, P::Space}, {0xFF, P::Space}, {0x57, P::Space}};  // write 0xFF
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(reg.ReadRam(0x2E70), 0xFF);
}

TEST(FrameTest, CheckByteMakesTheWholeFrameAddUpToFF) {
  const std::vector<uint8_t> identify{0x01, 0x14};
  EXPECT_EQ(LinkCheckByte(identify), 0xEA);
  const std::vector<uint8_t> readPayload{0x06, 0x6F, 0x2E, 0x01};
  EXPECT_EQ(BuildLinkFrame(readPayload),
            (std::vector<uint8_t>{0x04, 0x06, 0x6F, 0x2E, 0x01, 0x57}));
  const std::vector<uint8_t> writePayload{0x05, 0x70, 0x2E, 0x01, 0xFF};
  EXPECT_EQ(BuildLinkFrame(writePayload),
            (std::vector<uint8_t>{0x05, 0x05, 0x70, 0x2E, 0x01, 0xFF, 0x57}));
  EXPECT_EQ(LinkCheckByte(std::vector<uint8_t>{0xFF, 0xFF, 0x02}), 0xFF);  // sum wraps to 0
  EXPECT_TRUE(FrameSumIsValid(std::vector<uint8_t>{0x01, 0x32, 0xCC}));
  EXPECT_FALSE(FrameSumIsValid(std::vector<uint8_t>{0x01, 0x32, 0xCD}));
}

TEST(VersionCodeTest, EachNibbleIsWrittenInDecimalAndTheDigitsJoined) {
  EXPECT_EQ(VersionCodeFromBytes(0x01, 0x05), 105);
  EXPECT_EQ(VersionCodeFromBytes(0x10, 0x23), 1023);
  EXPECT_EQ(VersionCodeFromBytes(0x00, 0x00), 0);
  EXPECT_EQ(VersionCodeFromBytes(0xAB, 0xFF), 10111515);  // nibbles above 9 give two digits
}

TEST_F(CommandsTest, IdentifyReportsTheVersionBytesOfTheRegister) {
  const std::pair<std::pair<uint8_t, uint8_t>, int32_t> cases[] = {
      {{0x01, 0x05}, 105}, {{0x10, 0x23}, 1023}, {{0x00, 0x00}, 0}, {{0x01, 0x04}, 104}};
  for (const auto& [bytes, code] : cases) {
    reg.SetVersion(bytes.first, bytes.second);
    int32_t version = -1;
    ASSERT_NE(IdentifyRegister(channel, address, version), IdentifyAnswer::None);
    EXPECT_EQ(version, code);
  }
}

TEST_F(CommandsTest, IdentifyTakesItsTwoFixedDelays) {
  const uint32_t start = clock.NowMs();
  int32_t version = 0;
  ASSERT_NE(IdentifyRegister(channel, address, version), IdentifyAnswer::None);
  EXPECT_GT(Elapsed(start), 440u);
  EXPECT_LE(Elapsed(start), 450u);
}

TEST_F(CommandsTest, ReadTakesTheDataByteOfTheReplyFrame) {
  reg.WriteRam(0x2E6F, 0x32);
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_EQ(value, 0x32);
  std::vector<uint8_t> received;
  for (const emu::WireByte& b : line.Log()) {
    if (!b.toRegister) received.push_back(b.value);
  }
  // The echo, the acknowledgement, then the reply 01 32 CC.
  EXPECT_EQ(received, (std::vector<uint8_t>{0xC8, 0x57, 0x01, 0x32, 0xCC}));
}

TEST_F(CommandsTest, OnlyTheAddressedRegisterAnswersAndChangesItsRam) {
  emu::Register& other = line.AddRegister(36);
  ASSERT_TRUE(WriteRegisterByte(channel, 0xC9, 0x1000, 0x99));  // net number 36
  EXPECT_EQ(other.ReadRam(0x1000), 0x99);
  EXPECT_EQ(reg.ReadRam(0x1000), 0x00);
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, 0xCA, 0x1000, value));  // nobody at 35
}

// The failure rows of the read and write commands, with the time each takes.
TEST_F(CommandsTest, ReadAndWriteFailAfter500MsWithoutEcho) {
  for (Fault fault : {Fault::Silent, Fault::NoEcho}) {
    reg.ClearFaults();
    reg.SetFault(fault);
    uint32_t start = clock.NowMs();
    uint8_t value = 0;
    EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value)) << emu::FaultName(fault);
    EXPECT_GT(Elapsed(start), 500u);
    EXPECT_LE(Elapsed(start), 502u);
    start = clock.NowMs();
    EXPECT_FALSE(WriteRegisterByte(channel, address, 0x2E6F, '5')) << emu::FaultName(fault);
    EXPECT_GT(Elapsed(start), 500u);
    EXPECT_LE(Elapsed(start), 502u);
  }
  EXPECT_EQ(reg.Prefix(), "23");
}

// At once but for the silence that ends the failed exchange.
TEST_F(CommandsTest, ReadAndWriteFailAtOnceOnAWrongEchoOrAcknowledgement) {
  for (Fault fault : {Fault::WrongEcho, Fault::WrongAck, Fault::NoiseByte, Fault::TwoDevices}) {
    reg.ClearFaults();
    reg.SetFault(fault);
    uint32_t start = clock.NowMs();
    uint8_t value = 0;
    EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value)) << emu::FaultName(fault);
    EXPECT_LE(Elapsed(start), 5 + kStrayQuietMs) << emu::FaultName(fault);
    start = clock.NowMs();
    EXPECT_FALSE(WriteRegisterByte(channel, address, 0x2E6F, '5')) << emu::FaultName(fault);
    EXPECT_LE(Elapsed(start), 5 + kStrayQuietMs) << emu::FaultName(fault);
  }
}

TEST_F(CommandsTest, ReadAndWriteFailAfter700MsWithoutAcknowledgement) {
  reg.SetFault(Fault::NoAck);
  uint32_t start = clock.NowMs();
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_GT(Elapsed(start), 701u);  // the echo takes 1 ms, then more than 700 ms of waiting
  EXPECT_LE(Elapsed(start), 704u);
  start = clock.NowMs();
  EXPECT_FALSE(WriteRegisterByte(channel, address, 0x2E6F, '5'));
  EXPECT_GT(Elapsed(start), 701u);
  EXPECT_LE(Elapsed(start), 704u);
}

TEST_F(CommandsTest, ReadFailsOnAnIncompleteOrBadReplyFrame) {
  reg.SetFault(Fault::ShortReply);
  uint32_t start = clock.NowMs();
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_GT(Elapsed(start), 700u);
  EXPECT_LE(Elapsed(start), 705u);
  reg.ClearFaults();
  reg.SetFault(Fault::BadReplyCheck);
  EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value));
  // Writes have no reply frame, so neither fault touches them.
  reg.SetFault(Fault::ShortReply);
  EXPECT_TRUE(WriteRegisterByte(channel, address, 0x2E6F, '5'));
  EXPECT_EQ(reg.Prefix(), "53");
}

TEST_F(CommandsTest, ReadFailsWhenTheReplyComesLate) {
  reg.SetFault(Fault::LateReply);
  reg.SetLateDelayMs(450);  // late, but within each wait
  uint8_t value = 0;
  EXPECT_TRUE(ReadRegisterByte(channel, address, 0x2E6F, value));
  reg.SetLateDelayMs(600);  // the echo misses its 500 ms
  const uint32_t start = clock.NowMs();
  EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_GT(Elapsed(start), 500u);
  EXPECT_LE(Elapsed(start), 502u);
}

// The failure rows of identify.
TEST_F(CommandsTest, IdentifyFailsWithoutAGoodEchoAndLeavesTheVersionCodeAlone) {
  for (Fault fault : {Fault::Silent, Fault::NoEcho, Fault::WrongEcho, Fault::NoiseByte,
                      Fault::TwoDevices, Fault::WrongAck}) {
    reg.ClearFaults();
    reg.SetFault(fault);
    int32_t version = 777;
    EXPECT_EQ(IdentifyRegister(channel, address, version), IdentifyAnswer::None)
        << emu::FaultName(fault);
    EXPECT_EQ(version, 777) << emu::FaultName(fault);
  }
}

TEST_F(CommandsTest, IdentifyWithoutAcknowledgementFailsAfterItsDelayAndOneReadTimeOut) {
  reg.SetFault(Fault::NoAck);
  const uint32_t start = clock.NowMs();
  int32_t version = 777;
  EXPECT_EQ(IdentifyRegister(channel, address, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 777);
  // 40 ms for the echo, 400 ms for the acknowledgement, then a 120 ms read time-out.
  EXPECT_GT(Elapsed(start), 560u);
  EXPECT_LE(Elapsed(start), 566u);
}

TEST_F(CommandsTest, IdentifyWithABadOrShortReplyStillSucceedsWithVersionCodeZero) {
  for (Fault fault : {Fault::BadReplyCheck, Fault::ShortReply}) {
    reg.ClearFaults();
    reg.SetFault(fault);
    int32_t version = 777;
    EXPECT_NE(IdentifyRegister(channel, address, version), IdentifyAnswer::None)
        << emu::FaultName(fault);
    EXPECT_EQ(version, 0) << emu::FaultName(fault);
  }
}

TEST_F(CommandsTest, CommandsWorkAcrossAWrapOfTheTickCounter) {
  clock.Advance(0xFFFF'FFFFu - 300 - clock.NowMs());
  int32_t version = 0;
  ASSERT_NE(IdentifyRegister(channel, address, version), IdentifyAnswer::None);  // 440 ms: wraps
  EXPECT_EQ(version, 105);
  clock.Advance(0xFFFF'FFFFu - 300 - clock.NowMs());
  reg.SetFault(Fault::Silent);
  const uint32_t start = clock.NowMs();
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_GT(Elapsed(start), 500u);
  EXPECT_LE(Elapsed(start), 502u);
}

TEST_F(CommandsTest, CommandsOnAnUnpluggedAdapterFailPromptly) {
  line.SetUnplugged(true);
  uint32_t start = clock.NowMs();
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, address, 0x2E6F, value));
  EXPECT_FALSE(WriteRegisterByte(channel, address, 0x2E6F, '5'));
  EXPECT_LT(Elapsed(start), 10u);
  start = clock.NowMs();
  int32_t version = 777;
  EXPECT_EQ(IdentifyRegister(channel, address, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 777);
  EXPECT_LT(Elapsed(start), 100u);
  EXPECT_TRUE(line.SentBytes().empty());
}

// Answers no well-behaved register gives, scripted byte by byte.
class ScriptedCommandsTest : public ::testing::Test {
 protected:
  uint32_t Elapsed(uint32_t start) { return clock.NowMs() - start; }

  VirtualClock clock{2000};
  SerialChannel channel;
  test::ScriptedPort& port = test::AttachScripted(channel, clock);
};

TEST_F(ScriptedCommandsTest, ReadAcceptsAReplyWithAWrongCountWhoseSumIsRight) {
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(1, {0x57, 0x02, 0x31, 0xCC});
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, 0xC8, 0x2E6F, value));
  EXPECT_EQ(value, 0x31);
}

TEST_F(ScriptedCommandsTest, IdentifyWithNoReplyAfterAGoodAcknowledgementGivesVersionZero) {
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(1, {0xEA});
  const uint32_t start = clock.NowMs();
  int32_t version = 777;
  ASSERT_NE(IdentifyRegister(channel, 0xC8, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 0);
  // The delays, then read time-outs of 120 and 300 ms: about 0.9 s.
  EXPECT_GT(Elapsed(start), 860u);
  EXPECT_LE(Elapsed(start), 870u);
}

TEST_F(ScriptedCommandsTest, IdentifyCountsMissingReplyBytesAsZero) {
  // The reply's check byte is 0 and never comes: the 0 that stands in for it
  // still makes a valid sum (09 + C3 + 10 + 23 = FF).
  const std::vector<uint8_t> answer{0xEA, 0x09, 0xC3, 0x00, 0x00, 0x00,
                                    0x00, 0x10, 0x23, 0x00, 0x00};
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(1, answer);
  int32_t version = 0;
  ASSERT_NE(IdentifyRegister(channel, 0xC8, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 1023);
}

TEST_F(ScriptedCommandsTest, WriteSucceedsOnTheAcknowledgementAloneAndTheNextCommandPurges) {
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(1, {0x25, 0x99, 0x98});  // bytes after the acknowledgement
  ASSERT_TRUE(WriteRegisterByte(channel, 0xC8, 0x2E6F, 0x32));
  EXPECT_EQ(InputQueueCount(channel), 2u);  // left unread
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(1, {0x57, 0x01, 0x32, 0xCC});
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, 0xC8, 0x2E6F, value));
  EXPECT_EQ(value, 0x32);
}

// Noise reaches the line 1 ms after the address byte, and the register's own
// echo a byte later, once the read has failed on the noise. The write that
// follows at once must not meet that echo: it would take it for its own, and
// then its own echo for the acknowledgement.
TEST_F(ScriptedCommandsTest, AFailedExchangesLateEchoNeverReachesTheNextCommand) {
  port.ArriveIn(1, {0x5A});
  port.ArriveIn(2, {0xC8});
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, 0xC8, 0x2E6F, value));
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(1, {0x25});
  EXPECT_TRUE(WriteRegisterByte(channel, 0xC8, 0x2E6F, 0x32));
}

TEST_F(ScriptedCommandsTest, AnAcknowledgementMissingItsLastMomentFailsTheWrite) {
  port.AnswerNextWrite(1, {0xC8});
  port.AnswerNextWrite(702, {0x25});  // 701 ms after the frame is already too late
  const uint32_t start = clock.NowMs();
  EXPECT_FALSE(WriteRegisterByte(channel, 0xC8, 0x2E6F, 0x32));
  EXPECT_GT(Elapsed(start), 701u);
  EXPECT_LE(Elapsed(start), 703u);
}

}  // namespace
}  // namespace zenor9
