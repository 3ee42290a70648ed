// The fuzz targets' scripted port: that a script's answers reach the program at
// the times it names, so that the targets really try what their inputs say.
#include <gtest/gtest.h>

#include "fuzz/harness.h"
#include "link/commands.h"
#include "link/net_number.h"

namespace zenor9::fuzz {
namespace {

constexpr uint8_t kAddress = 0xC8;  // net number 37

std::vector<uint8_t> Input(const std::vector<std::vector<Answer>>& answersPerWrite,
                           uint32_t clockStart = 1000) {
  std::vector<uint8_t> input;
  AppendHeader(input, {clockStart, 37, 0x2E6F, 0, 0});
  for (const auto& answers : answersPerWrite) AppendAnswersOfOneWrite(input, answers);
  return input;
}

TEST(ScriptedPortTest, AnswersOfSeveralPartsReachTheReadInOrder) {
  // The ack, then the reply in a second part of the same answer, 2 ms apart per byte.
  const auto input = Input(
      {{{1, 0, false, {kAddress}}}, {{1, 0, false, {0x57}}, {50, 2, false, {0x01, 0x32, 0xCC}}}},
      0xFFFFFFF0);  // the counter wraps during the read
  Session session(input);
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(session.Channel(), kAddress, 0x2E6F, value));
  EXPECT_EQ(value, 0x32);
  EXPECT_EQ(DeliveredValues(session.Port()),
            (std::vector<uint8_t>{kAddress, 0x57, 0x01, 0x32, 0xCC}));
  EXPECT_EQ(session.Port().Writes().size(), 2u);
  EXPECT_EQ(session.ElapsedMs(), 55u);  // the echo at 1 ms, the reply from 51 to 55 ms
}

TEST(ScriptedPortTest, AWriteWithAnEmptyAnswerGetsNothingAndTheNextAnswerWaitsForTheNextWrite) {
  std::vector<std::vector<Answer>> answers(3);
  answers[2] = {{1, 0, false, {AddressByteOf(2)}}};
  const auto input = Input(answers);
  Session session(input);
  uint8_t address = 0x42;
  ASSERT_TRUE(DetectAddressByte(session.Channel(), address));
  EXPECT_EQ(address, AddressByteOf(2));
  EXPECT_EQ(session.Port().Writes().size(), 3u);
}

TEST(ScriptedPortTest, TheDeviceGoesAwayAtTheNamedTimeAndEndsTheWait) {
  const auto input = Input({{{1, 0, false, {kAddress}}}, {{300, 0, true, {}}}});
  Session session(input);
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(session.Channel(), kAddress, 0x2E6F, value));
  EXPECT_TRUE(session.DeviceFailed());
  EXPECT_EQ(session.ElapsedMs(), 1u + 300u);
  EXPECT_EQ(session.SinceFailureMs(), 0u);
}

TEST(ScriptedPortTest, AnAnswerLaterThanTheWaitIsNotSeenAndPurgeDropsOnlyWhatArrived) {
  const auto input = Input({{{600, 0, false, {kAddress}}}});
  Session session(input);
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(session.Channel(), kAddress, 0x2E6F, value));
  EXPECT_EQ(session.ElapsedMs(), 501u);
  EXPECT_TRUE(DeliveredValues(session.Port()).empty());
  PurgeChannel(session.Channel(), kPurgeBothQueues);  // the late echo is still on its way
  EXPECT_TRUE(WaitForInput(session.Channel(), 1, 100));
  EXPECT_EQ(session.ElapsedMs(), 600u);
}

}  // namespace
}  // namespace zenor9::fuzz
