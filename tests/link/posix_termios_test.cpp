// The flags that carry the ninth bit. A pseudo-terminal drops PARENB, so the
// end-to-end tests cannot see them: a lost flag would leave a real line
// without its ninth bit while every pty test still passed. And the port's
// calls, cut short by signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "emulator/pty_host.h"
#include "link/commands.h"
#include "link/net_number.h"
#include "link/posix_termios.h"

namespace zenor9 {
namespace {

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kInputChecks = INPCK | PARMRK | IGNPAR;

termios SettingsWith(tcflag_t cflag, tcflag_t iflag) {
  termios settings{};
  settings.c_cflag = cflag;
  settings.c_iflag = iflag;
  return settings;
}

TEST(StickParityTest, MarkAndSpaceBothEnableStickParityAndNeverCheckInput) {
  // From a clear start and from the other mode with every input check on.
  for (const termios& start : {SettingsWith(CS8 | CREAD, 0),
                               SettingsWith(CS8 | CREAD | PARENB | PARODD, kInputChecks | IXON)}) {
    termios mark = start;
    SetStickParity(mark, ParityMode::Mark);
    EXPECT_EQ(mark.c_cflag & kParityBits, PARENB | CMSPAR | PARODD);
    EXPECT_EQ(mark.c_iflag & kInputChecks, 0u);

    termios space = start;
    SetStickParity(space, ParityMode::Space);
    EXPECT_EQ(space.c_cflag & kParityBits, PARENB | CMSPAR);
    EXPECT_EQ(space.c_iflag & kInputChecks, 0u);

    // Nothing but the parity flags changes.
    EXPECT_EQ(mark.c_cflag & ~kParityBits, start.c_cflag & ~kParityBits);
    EXPECT_EQ(space.c_iflag & ~kInputChecks, start.c_iflag & ~kInputChecks);
  }
}

TEST(StickParityTest, SwitchingBackAndForthLeavesOnlyTheLastMode) {
  termios settings = SettingsWith(CS8, 0);
  SetStickParity(settings, ParityMode::Mark);
  SetStickParity(settings, ParityMode::Space);
  EXPECT_EQ(settings.c_cflag & PARODD, 0u);
  SetStickParity(settings, ParityMode::Mark);
  EXPECT_EQ(settings.c_cflag & kParityBits, PARENB | CMSPAR | PARODD);
}

// Every other call of the port fails with EINTR and does nothing, as when a
// signal arrives while it waits (a drain before a parity switch).
int interruptions = 0;
bool interruptThis = false;

bool Interrupted() {
  interruptThis = !interruptThis;
  if (!interruptThis) return false;  // the call after an interrupted one goes through
  ++interruptions;
  errno = EINTR;
  return true;
}

const TerminalCalls kInterruptedCalls{
    [](int fd, termios* settings) { return Interrupted() ? -1 : ::tcgetattr(fd, settings); },
    [](int fd, int when, const termios* settings) {
      return Interrupted() ? -1 : ::tcsetattr(fd, when, settings);
    },
    [](int fd, int queues) { return Interrupted() ? -1 : ::tcflush(fd, queues); },
    [](int fd, void* buffer, size_t count) -> ssize_t {
      return Interrupted() ? -1 : ::read(fd, buffer, count);
    },
    [](int fd, const void* data, size_t count) -> ssize_t {
      return Interrupted() ? -1 : ::write(fd, data, count);
    },
    [](int fd, int* count) { return Interrupted() ? -1 : ::ioctl(fd, FIONREAD, count); },
};

TEST(InterruptedCallsTest, EveryByteKeepsItsNinthBitWhenSignalsCutThePortsCallsShort) {
  emu::Line line;
  emu::Register& reg = line.AddRegister(7);
  emu::PtyHost host{line};
  ASSERT_TRUE(host.Start());
  const int fd = ::open(host.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  termios settings{};
  ASSERT_EQ(::tcgetattr(fd, &settings), 0);
  ::cfmakeraw(&settings);
  SetStickParity(settings, ParityMode::Mark);
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &settings), 0);
  SerialChannel channel;
  channel.port = AdoptTerminal(fd, kInterruptedCalls);

  const uint8_t address = AddressByteOfNetNumber(7);
  EXPECT_TRUE(WriteRegisterByte(channel, address, emu::kEmulatedPrefixTensCell, '2'));
  EXPECT_TRUE(WriteRegisterByte(channel, address, emu::kEmulatedPrefixUnitsCell, '7'));
  uint8_t units = 0;
  EXPECT_TRUE(ReadRegisterByte(channel, address, emu::kEmulatedPrefixUnitsCell, units));
  CloseChannel(channel);
  host.Stop();

  EXPECT_EQ(units, '7');
  EXPECT_EQ(reg.Prefix(), "27");
  // Three address bytes in Mark; the two write frames (7 bytes each) and the
  // read frame (6) in Space: no frame byte went out with the address's bit.
  std::size_t marks = 0;
  std::size_t spaces = 0;
  for (const emu::WireByte& byte : line.Log()) {
    if (!byte.toRegister) continue;
    (byte.parity == ParityMode::Mark ? marks : spaces) += 1;
  }
  EXPECT_EQ(marks, 3u);
  EXPECT_EQ(spaces, 20u);
  EXPECT_GT(interruptions, 20);
}

}  // namespace
}  // namespace zenor9
