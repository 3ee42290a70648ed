// The emulated register's random faults, used by the soak: they strike single
// exchanges at the asked rate, repeat with the seed, and leave the next
// exchange alone.
#include <gtest/gtest.h>

#include "emulator/inprocess_port.h"
#include "link/commands.h"

namespace zenor9 {
namespace {

using emu::Fault;

constexpr uint8_t kAddress = 0xF8;  // net number 7

class RandomFaultsTest : public ::testing::Test {
 protected:
  RandomFaultsTest() : reg(line.AddRegister(7)) { emu::AttachInProcess(channel, line, clock); }

  // Which of `count` reads succeeded, in order.
  std::vector<bool> ReadOutcomes(int count) {
    std::vector<bool> outcomes;
    for (int i = 0; i < count; ++i) {
      uint8_t value = 0;
      outcomes.push_back(ReadRegisterByte(channel, kAddress, 11887, value) && value == '2');
    }
    return outcomes;
  }

  emu::Line line;
  emu::Register& reg;
  VirtualClock clock{1000};
  SerialChannel channel;
};

TEST_F(RandomFaultsTest, RateOfAllOrNothing) {
  reg.SetRandomFaults({Fault::WrongAck}, 1000, 1);
  EXPECT_EQ(ReadOutcomes(20), std::vector<bool>(20, false));
  EXPECT_EQ(reg.RandomFaultCount(), 20u);
  reg.SetRandomFaults({Fault::WrongAck}, 0, 1);
  EXPECT_EQ(ReadOutcomes(20), std::vector<bool>(20, true));
  EXPECT_EQ(reg.RandomFaultCount(), 20u);
  reg.SetRandomFaults({}, 1000, 1);  // an empty mix turns them off
  EXPECT_EQ(ReadOutcomes(5), std::vector<bool>(5, true));
}

TEST_F(RandomFaultsTest, StrikesSingleExchangesAtAboutTheRateAndRepeatsWithTheSeed) {
  const std::vector<Fault> mix{Fault::WrongEcho, Fault::WrongAck, Fault::BadReplyCheck};
  reg.SetRandomFaults(mix, 100, 42);
  const std::vector<bool> first = ReadOutcomes(1000);
  const auto failures = std::count(first.begin(), first.end(), false);
  EXPECT_EQ(static_cast<uint64_t>(failures), reg.RandomFaultCount());  // one exchange each
  EXPECT_GT(failures, 60);
  EXPECT_LT(failures, 140);

  reg.SetRandomFaults(mix, 100, 42);
  EXPECT_EQ(ReadOutcomes(1000), first);
  reg.SetRandomFaults(mix, 100, 43);
  EXPECT_NE(ReadOutcomes(1000), first);
}

TEST_F(RandomFaultsTest, OnlyTheRegistersOwnExchangesDrawAFault) {
  emu::Register& other = line.AddRegister(8);
  reg.SetRandomFaults({Fault::Silent}, 1000, 7);
  uint8_t value = 0;
  EXPECT_TRUE(ReadRegisterByte(channel, other.AddressByte(), 11887, value));
  EXPECT_EQ(reg.RandomFaultCount(), 0u);
  EXPECT_FALSE(ReadRegisterByte(channel, kAddress, 11887, value));
  EXPECT_EQ(reg.RandomFaultCount(), 1u);
}

}  // namespace
}  // namespace zenor9
