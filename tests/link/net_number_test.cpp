// Net numbers, their BCD and address bytes, and the scan for the register on
// the line, on the in-process emulator and virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "emulator/inprocess_port.h"
#include "link/net_number.h"

namespace zenor9 {
namespace {

TEST(NetNumberTest, ToBcdTakesTheFirstTwoDecimalDigits) {
  const std::pair<uint8_t, uint8_t> cases[] = {{0, 0x00},   {5, 0x05},   {37, 0x37},  {99, 0x99},
                                               {100, 0x10}, {123, 0x12}, {255, 0x25}, {10, 0x10}};
  for (const auto& [number, bcd] : cases) EXPECT_EQ(NetNumberToBcd(number), bcd) << +number;
}

TEST(NetNumberTest, FromBcdJoinsTheNibblesInDecimal) {
  const std::pair<uint8_t, uint8_t> cases[] = {{0x00, 0},  {0x37, 37},  {0x99, 99},
                                               {0x0A, 10}, {0xA0, 100}, {0xFF, 235}};
  for (const auto& [bcd, number] : cases) EXPECT_EQ(BcdToNetNumber(bcd), number) << +bcd;
}

TEST(NetNumberTest, AddressBytesAreTheInvertedBcdAndComeBackToTheirNumber) {
  const std::pair<uint8_t, uint8_t> cases[] = {{0, 0xFF},  {1, 0xFE},  {9, 0xF6},
                                               {10, 0xEF}, {37, 0xC8}, {99, 0x66}};
  for (const auto& [number, address] : cases) {
    EXPECT_EQ(AddressByteOfNetNumber(number), address) << +number;
  }
  for (unsigned n = 0; n <= 99; ++n) {
    const auto number = static_cast<uint8_t>(n);
    const uint8_t address = AddressByteOfNetNumber(number);
    EXPECT_NE(address, 0);
    EXPECT_GE(address, 0x66);
    EXPECT_EQ(NetNumberOfAddressByte(address), number);
    EXPECT_EQ(BcdToNetNumber(NetNumberToBcd(number)), number);
  }
  EXPECT_EQ(NetNumberOfAddressByte(kInitialAddressByte), 0);
}

class ScanTest : public ::testing::Test {
 protected:
  ScanTest() { emu::AttachInProcess(channel, line, clock); }

  // The probes as they went out, each checked to be sent alone in Mark.
  std::vector<uint8_t> Probes() const {
    std::vector<uint8_t> probes;
    for (const emu::WireByte& b : line.Log()) {
      if (!b.toRegister) continue;
      EXPECT_EQ(b.parity, ParityMode::Mark);
      probes.push_back(b.value);
    }
    return probes;
  }

  // The address bytes of net numbers 0 to 99 in the scan's order, written out
  // from the BCD digits.
  static std::vector<uint8_t> AllCandidates() {
    std::vector<uint8_t> all;
    for (int tens = 0; tens <= 9; ++tens) {
      for (int units = 0; units <= 9; ++units) {
        all.push_back(static_cast<uint8_t>(0xFF - (tens * 16 + units)));
      }
    }
    return all;
  }

  emu::Line line;
  VirtualClock clock{300};
  SerialChannel channel;
  uint8_t address = 0x42;  // what the caller held before the scan
};

TEST_F(ScanTest, AnEmptyLineIsProbedAtAllHundredAddressesInOrder) {
  const uint32_t start = clock.NowMs();
  EXPECT_FALSE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0x42);
  const std::vector<uint8_t> probes = Probes();
  ASSERT_EQ(probes.size(), 100u);
  EXPECT_EQ(probes, AllCandidates());
  const std::vector<uint8_t> head(probes.begin(), probes.begin() + 12);
  EXPECT_EQ(head, (std::vector<uint8_t>{0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7, 0xF6,
                                        0xEF, 0xEE}));
  EXPECT_EQ(probes.back(), 0x66);
  for (uint8_t never = 0xF0; never <= 0xF5; ++never) {
    EXPECT_EQ(std::count(probes.begin(), probes.end(), never), 0) << +never;
  }
  // Each probe lasts just over 10 ms.
  const std::vector<emu::WireByte> log = line.Log();
  for (std::size_t i = 1; i < log.size(); ++i) {
    const uint32_t gap = log[i].timeMs - log[i - 1].timeMs;
    EXPECT_GT(gap, 10u);
    EXPECT_LE(gap, 12u);
  }
  EXPECT_GT(clock.NowMs() - start, 1000u);
  EXPECT_LE(clock.NowMs() - start, 1200u);
  for (uint8_t i = 0; i < kNetNumberCount; ++i) EXPECT_EQ(ProbeCandidate(i), probes[i]);
}

TEST_F(ScanTest, ARegisterIsFoundByTheProbeOfItsNetNumber) {
  line.AddRegister(0);
  EXPECT_TRUE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0xFF);
  EXPECT_EQ(Probes(), std::vector<uint8_t>{0xFF});

  line.ClearLog();
  emu::Line other;
  other.AddRegister(37);
  other.AddRegister(80);
  SerialChannel otherChannel;
  emu::AttachInProcess(otherChannel, other, clock);
  address = 0x42;
  EXPECT_TRUE(DetectAddressByte(otherChannel, address));
  EXPECT_EQ(address, 0xC8);
  EXPECT_EQ(NetNumberOfAddressByte(address), 37);
  std::size_t probes = 0;
  for (const emu::WireByte& b : other.Log()) probes += b.toRegister ? 1 : 0;
  EXPECT_EQ(probes, 38u);
}

TEST_F(ScanTest, AnObserverLearnsEachProbeBeforeItGoesOut) {
  line.AddRegister(37);
  std::vector<int> told;
  EXPECT_TRUE(DetectAddressByte(channel, address, [&](int probe) {
    EXPECT_EQ(Probes().size(), static_cast<std::size_t>(probe - 1));
    told.push_back(probe);
  }));
  ASSERT_EQ(told.size(), 38u);
  EXPECT_EQ(told.front(), 1);
  EXPECT_EQ(told.back(), 38);
}

TEST_F(ScanTest, AnAnswerAfterItsProbesWaitIsNotFound) {
  emu::Register& reg = line.AddRegister(0);
  reg.SetReplyDelayMs(15);  // after the probe's 10 ms wait and queue test
  EXPECT_FALSE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0x42);
  // It lands in the second probe, whose byte it is not: the scan ends there.
  EXPECT_EQ(Probes(), (std::vector<uint8_t>{0xFF, 0xFE}));
}

TEST_F(ScanTest, ADifferentByteEndsTheScanAtOnceAndKeepsTheAddressByte) {
  for (emu::Fault fault : {emu::Fault::WrongEcho, emu::Fault::NoiseByte, emu::Fault::TwoDevices}) {
    emu::Line faulty;
    faulty.AddRegister(4).SetFault(fault);
    SerialChannel faultyChannel;
    emu::AttachInProcess(faultyChannel, faulty, clock);
    address = 0x42;
    EXPECT_FALSE(DetectAddressByte(faultyChannel, address)) << emu::FaultName(fault);
    EXPECT_EQ(address, 0x42);
    EXPECT_EQ(faulty.SentBytes(), (std::vector<uint8_t>{0xFF, 0xFE, 0xFD, 0xFC, 0xFB}))
        << emu::FaultName(fault);
  }
}

TEST_F(ScanTest, TheScanSetsMarkItselfAndDropsEarlierAnswers) {
  line.AddRegister(2);
  const uint8_t stray = 0xFD;  // makes register 2 echo before the scan starts
  WriteBytes(channel, &stray, 1);
  ASSERT_TRUE(WaitForInput(channel, 1, 100));
  SetParityMode(channel, ParityMode::Space);
  EXPECT_TRUE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0xFD);
}

TEST_F(ScanTest, AChannelThatIsNotOpenFindsNothingAfterHundredProbes) {
  line.AddRegister(0);
  CloseChannel(channel);
  const uint32_t start = clock.NowMs();
  EXPECT_FALSE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0x42);
  EXPECT_GT(clock.NowMs() - start, 1000u);
  EXPECT_TRUE(line.SentBytes().empty());
}

}  // namespace
}  // namespace zenor9
