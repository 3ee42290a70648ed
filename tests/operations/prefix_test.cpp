// The prefix read and write of the core: never on a register that no set-up
// identified, and, where the policy asks for it, tried again after a failure
// without letting a late answer pass for the next try's.
#include <gtest/gtest.h>

#include "link/commands.h"
#include "operations/prefix.h"
#include "tests/link/scripted_port.h"

namespace zenor9 {
namespace {

constexpr uint8_t kNet7 = 0xF8;
constexpr uint8_t kTensAck = 0x57;   // check byte of the read of 0x2E6F
constexpr uint8_t kUnitsAck = 0x56;  // check byte of the read of 0x2E70

// A read reply carrying `value`, its bytes adding up to 0xFF.
std::vector<uint8_t> ReplyOf(uint8_t ack, uint8_t value) {
  return {ack, 0x01, value, static_cast<uint8_t>(0xFE - value)};
}

class CorePrefixTest : public ::testing::Test {
 protected:
  CorePrefixTest() {
    session.memoryMap.SelectMemoryMap('i');
    session.addressByte = kNet7;
    session.identified = kNet7;
  }

  int FramesWritten() const {
    int frames = 0;
    for (const auto& [byte, parity] : port.Written()) frames += byte == kNet7 ? 1 : 0;
    return frames;
  }

  VirtualClock clock{5000};
  Session session;
  test::ScriptedPort& port = test::AttachScripted(session.channel, clock);
  ExchangePolicy retrying{3, {}};
};

TEST_F(CorePrefixTest, NothingIsSentToAnAddressThatNoSetUpIdentified) {
  for (auto [identified, inUse] :
       {std::pair<std::optional<uint8_t>, uint8_t>{std::nullopt, kNet7}, {kNet7, 0xFD}}) {
    session.identified = identified;
    session.addressByte = inUse;
    EXPECT_FALSE(WritePrefixCells(session, {'2', '7'}, retrying).Succeeded());
    EXPECT_FALSE(ReadPrefixCells(session, retrying).Succeeded());
  }
  EXPECT_TRUE(port.Written().empty());
}

// The first try's acknowledgement and reply come after its 700 ms wait, while
// the retry waits for its echo: they are dropped as a wrong echo, and the third
// try reads the cell. The late reply's byte is never taken for the value.
TEST_F(CorePrefixTest, ALateReplyNeverPassesForTheRetrysAnswer) {
  std::vector<RetryNote> notes;
  retrying.onRetry = [&notes](const RetryNote& note) { notes.push_back(note); };
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(750, ReplyOf(kTensAck, '9'));
  port.AnswerNextWrite(1, {});  // the retry's echo: the late bytes come instead
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(1, ReplyOf(kTensAck, '2'));
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(1, ReplyOf(kUnitsAck, '5'));
  const PrefixReading reading = ReadPrefixCells(session, retrying);
  ASSERT_TRUE(reading.Succeeded());
  EXPECT_EQ(reading.tens, '2');
  EXPECT_EQ(reading.units, '5');
  EXPECT_EQ(reading.retries, 2);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].exchange, Exchange::ReadCell);
  EXPECT_EQ(notes[1].attempt, 3);
}

// A byte added on the line before the data byte, and the first three bytes
// still add up to 0xFF: the sum test alone would take 0xCC for the tens cell.
// The byte left over behind the reply gives it away, and the retry reads the cell.
TEST_F(CorePrefixTest, AReplyWithAByteAddedIsNoReplyEvenWhenItsSumPasses) {
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(1, {kTensAck, 0x01, 0xCC, '2', 0xCC});
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(1, ReplyOf(kTensAck, '2'));
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(1, ReplyOf(kUnitsAck, '5'));
  const uint32_t start = clock.NowMs();
  const PrefixReading reading = ReadPrefixCells(session, retrying);
  ASSERT_TRUE(reading.Succeeded());
  EXPECT_EQ(reading.tens, '2');
  EXPECT_EQ(reading.units, '5');
  EXPECT_EQ(reading.retries, 1);
  // That answer had come whole: the retry waited for the line to be quiet, not
  // for a late answer.
  EXPECT_LT(clock.NowMs() - start, 100u);
}

TEST_F(CorePrefixTest, ALostEchoIsTriedAgainOnlyAsOftenAsThePolicySays) {
  const uint32_t start = clock.NowMs();
  const PrefixReading reading = ReadPrefixCells(session, retrying);
  EXPECT_EQ(reading.failedCell, PrefixCell::Tens);
  EXPECT_EQ(reading.retries, 3);
  EXPECT_EQ(FramesWritten(), 4);
  // Each retry once no answer to the address byte before it can still come and
  // the line has been quiet; then the last echo wait of 500 ms.
  const uint32_t retryAfter = kLatestAnswerMs + kStrayQuietMs;
  EXPECT_GE(clock.NowMs() - start, 3 * retryAfter + 500u);
  EXPECT_LT(clock.NowMs() - start, 3 * retryAfter + 500u + 50u);

  // A single try (the default policy): the first lost acknowledgement of a
  // write is the end.
  port.AnswerNextWrite(1, {kNet7});
  port.AnswerNextWrite(1, {});
  EXPECT_EQ(WritePrefixCells(session, {'2', '7'}).failedCell, PrefixCell::Tens);
  EXPECT_EQ(FramesWritten(), 5);

  // A stop while the line settles before a retry: no further byte goes out.
  const uint32_t stopAt = clock.NowMs() + 800;
  session.channel.stopRequested = [&] { return clock.NowMs() >= stopAt; };
  EXPECT_FALSE(ReadPrefixCells(session, retrying).Succeeded());
  EXPECT_EQ(FramesWritten(), 6);
  EXPECT_LT(clock.NowMs(), stopAt + 20);
}

}  // namespace
}  // namespace zenor9
