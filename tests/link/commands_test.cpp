// The three commands on the in-process emulator: the exact bytes and parity on
// the wire, the checks of the answers, every failure row, on virtual time.
#include <gtest/gtest.h>

#include "emulator/inprocess_port.h"
#include "link/commands.h"

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
  ASSERT_TRUE(IdentifyRegister(channel, address, version));
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
      {0xC8, P::Mark}, {0x04, P::Space}, {0x06, P::Space}, {0x6F, P::Space}, {0x2E, P::Space},
      {0x01, P::Space}, {0x57, P::Space},                                          // read
      {0xC8, P::Mark}, {0x05, P::Space}, {0x05, P::Space}, {0x6F, P::Space}, {0x2E, P::Space},
      {0x01, P::Space}, {0x32, P::Space}, {0x25, P::Space},                        // write 0x32
      {0xC8, P::Mark}, {0x05, P::Space}, {0x05, P::Space}, {0x70, P::Space}, {0x2E, P::Space},
      {0x01, P::Space}, {0xFF, P::Space}, {0x57, P::Space}};                       // write 0xFF
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(reg.ReadRam(0x2E70), 0xFF);
}

}  // namespace
}  // namespace zenor9
