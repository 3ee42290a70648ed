// The real POSIX backend against the emulator's pseudo-terminal host.
#include <gtest/gtest.h>

#include "emulator/pty_host.h"
#include "link/commands.h"
#include "link/net_number.h"

namespace zenor9 {
namespace {

class PtyEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg = &line.AddRegister(7);
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(OpenChannelDevice(host.DevicePath(), channel));
  }

  emu::Line line;
  emu::Register* reg = nullptr;
  emu::PtyHost host{line};
  SerialChannel channel;
};

TEST_F(PtyEndToEndTest, IdentifyReadWriteAndScanOverTheRealBackend) {
  uint8_t address = 0;
  ASSERT_TRUE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0xF8);
  int32_t version = 0;
  ASSERT_TRUE(IdentifyRegister(channel, address, version));
  EXPECT_EQ(version, 105);
  ASSERT_TRUE(WriteRegisterByte(channel, address, 11887, '2'));
  ASSERT_TRUE(WriteRegisterByte(channel, address, 11888, '7'));
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, address, 11888, value));
  EXPECT_EQ(value, '7');
  EXPECT_EQ(reg->Prefix(), "27");
}

}  // namespace
}  // namespace zenor9
