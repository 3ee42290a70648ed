// One set-up attempt: close, open, optional scan, identify, and only version
// code 105 accepted; each way it can end.
#include <gtest/gtest.h>

#include <tuple>

#include "emulator/inprocess_port.h"
#include "emulator/pty_host.h"
#include "operations/setup.h"

namespace zenor9 {
namespace {

class InterfaceSetupTest : public ::testing::Test {
 protected:
  InterfaceSetupTest() {
    session.channel.clock = &clock;
    session.channel.opener = emu::InProcessOpener(line, clock, {"COM-A"});
    session.versionCode = -1;
  }

  SetupOutcome Attempt(const std::string& device, bool autoDetect) {
    return SetUpInterface(session, {ChoosePort(device), autoDetect}).outcome;
  }

  emu::Line line;
  VirtualClock clock{10};
  Session session;
  SerialChannel& channel = session.channel;
  uint8_t& address = session.addressByte;
  int32_t& version = session.versionCode;
};

TEST_F(InterfaceSetupTest, AScanThatFindsARegisterOfVersion105Connects) {
  line.AddRegister(37);
  EXPECT_EQ(Attempt("COM-A", true), SetupOutcome::Connected);
  EXPECT_EQ(address, 0xC8);
  EXPECT_EQ(version, 105);
}

TEST_F(InterfaceSetupTest, WithoutTheScanTheGivenAddressByteIsIdentified) {
  line.AddRegister(37);
  EXPECT_EQ(Attempt("COM-A", false), SetupOutcome::NoAnswerToIdentify);
  EXPECT_EQ(address, 0xFF);
  EXPECT_EQ(version, -1);
  address = 0xC8;
  EXPECT_EQ(Attempt("COM-A", false), SetupOutcome::Connected);
  EXPECT_TRUE(channel.IsOpen());
}

TEST_F(InterfaceSetupTest, EachFailedStepHasItsOwnOutcome) {
  EXPECT_EQ(Attempt("COM-B", true), SetupOutcome::PortUnavailable);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(Attempt("COM-A", true), SetupOutcome::NoAnswerToScan);
  EXPECT_EQ(address, 0xFF);
  EXPECT_TRUE(channel.IsOpen());  // left open: the next attempt closes it

  emu::Register& reg = line.AddRegister(5);
  for (const auto& [high, low, code] :
       {std::tuple{0x01, 0x04, 104}, std::tuple{0x01, 0x06, 106}, std::tuple{0x10, 0x05, 1005}}) {
    reg.SetVersion(static_cast<uint8_t>(high), static_cast<uint8_t>(low));
    EXPECT_EQ(Attempt("COM-A", true), SetupOutcome::UnsupportedVersion) << code;
    EXPECT_EQ(version, code);
  }
  reg.SetVersion(0x01, 0x05);
  reg.SetFault(emu::Fault::BadReplyCheck);  // answers, but the reply fails its sum test
  EXPECT_EQ(Attempt("COM-A", true), SetupOutcome::BadIdentifyReply);
  EXPECT_EQ(version, 0);
  reg.ClearFaults();
  EXPECT_EQ(Attempt("COM-A", true), SetupOutcome::Connected);
  EXPECT_EQ(address, 0xFA);
}

// On the real backend the port of a failed attempt stays held until the next
// attempt closes it first.
TEST(InterfaceSetupPtyTest, ANewAttemptReleasesThePortOfTheFailedOneFirst) {
  emu::Line line;
  emu::Register& reg = line.AddRegister(0, 0x01, 0x04);
  emu::PtyHost host{line};
  ASSERT_TRUE(host.Start());
  Session session;
  const SetupRequest request{ChoosePort(host.DevicePath()), false};
  EXPECT_EQ(SetUpInterface(session, request).outcome, SetupOutcome::UnsupportedVersion);
  SerialChannel other;
  EXPECT_FALSE(OpenChannelDevice(host.DevicePath(), other));
  reg.SetVersion(0x01, 0x05);
  EXPECT_TRUE(SetUpInterface(session, request).Connected());
}

}  // namespace
}  // namespace zenor9
