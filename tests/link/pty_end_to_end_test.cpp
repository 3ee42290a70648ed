// The real POSIX backend against the emulator's pseudo-terminal host: line
// settings, exclusive opening, port names, queues, the ninth bit of each byte,
// the commands end to end, waits that block instead of spinning, and an adapter
// that vanishes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

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
  ASSERT_NE(IdentifyRegister(channel, address, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 105);
  ASSERT_TRUE(WriteRegisterByte(channel, address, 11887, '2'));
  ASSERT_TRUE(WriteRegisterByte(channel, address, 11888, '7'));
  uint8_t value = 0;
  ASSERT_TRUE(ReadRegisterByte(channel, address, 11888, value));
  EXPECT_EQ(value, '7');
  EXPECT_EQ(reg->Prefix(), "27");
}

using P = ParityMode;
using std::chrono::steady_clock;

int64_t MsSince(steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - start).count();
}

// CPU time of the calling thread, in milliseconds.
double ThreadCpuMs() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Tries to open `device` from a child process: its exit code is 1 when the open
// succeeded, 0 when it was refused.
int OpenFromAnotherProcess(const std::string& device) {
  const pid_t child = ::fork();
  if (child == 0) {
    SerialChannel other;
    _exit(OpenChannelDevice(device, other) ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PtyEndToEndTest, TheLineIsSetUpAt9600Eight1WithStickParityAndNoFlowControl) {
  const int fd = ::open(host.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    EXPECT_EQ(errno, EBUSY);  // TIOCEXCL keeps everyone but root out
    GTEST_SKIP() << "the settings can only be inspected as root";
  }
  int exclusive = 0;
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  termios t{};
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  EXPECT_EQ(::cfgetispeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(t.c_cflag & (CMSPAR | PARODD), static_cast<tcflag_t>(CMSPAR | PARODD));  // Mark
  EXPECT_EQ(t.c_iflag & (INPCK | ISTRIP | PARMRK | IXON | IXOFF | IXANY | ICRNL | INLCR), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);

  SetParityMode(channel, P::Space);
  termios space{};
  ASSERT_EQ(::tcgetattr(fd, &space), 0);
  EXPECT_EQ(space.c_cflag & (CMSPAR | PARODD), static_cast<tcflag_t>(CMSPAR));
  EXPECT_EQ(space.c_cflag | PARODD, t.c_cflag | PARODD);  // nothing else changed
  EXPECT_EQ(space.c_iflag, t.c_iflag);
  EXPECT_EQ(::cfgetospeed(&space), B9600);
  SetParityMode(channel, P::Mark);
  ASSERT_EQ(::tcgetattr(fd, &space), 0);
  EXPECT_EQ(space.c_cflag, t.c_cflag);

  CloseChannel(channel);
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);  // released with the port
  ::close(fd);
}

TEST_F(PtyEndToEndTest, OnlyTerminalsOpenAndEachRefusalSaysWhy) {
  SerialChannel other;
  EXPECT_FALSE(OpenChannelDevice("/dev/null", other));
  EXPECT_EQ(other.openFailure, PortFailure::NotSerial);
  EXPECT_FALSE(OpenChannelDevice("/tmp", other));  // a directory
  EXPECT_EQ(other.openFailure, PortFailure::NotSerial);
  EXPECT_FALSE(OpenChannelDevice("/nonexistent/tty", other));
  EXPECT_EQ(other.openFailure, PortFailure::Missing);
  EXPECT_EQ(other.openFailureDetail.what, PortDetail::SystemError);
  EXPECT_EQ(other.openFailureDetail.systemError, static_cast<unsigned long>(ENOENT));
  EXPECT_FALSE(OpenChannelDevice("", other));
  EXPECT_EQ(other.openFailure, PortFailure::Missing);
  EXPECT_FALSE(other.IsOpen());
  CloseChannel(channel);
  ASSERT_TRUE(OpenChannelDevice(host.DevicePath(), other));
  EXPECT_EQ(other.openFailure, PortFailure::None);  // nothing left of the last refusal
}

TEST_F(PtyEndToEndTest, APortHeldOpenCannotBeOpenedAgainUntilReleased) {
  SerialChannel second;
  EXPECT_FALSE(OpenChannelDevice(host.DevicePath(), second));
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(second.openFailure, PortFailure::Busy);
  EXPECT_EQ(OpenFromAnotherProcess(host.DevicePath()), 0);
  int32_t version = 0;  // the refused opens did not disturb the holder
  EXPECT_NE(IdentifyRegister(channel, 0xF8, version), IdentifyAnswer::None);

  CloseChannel(channel);
  EXPECT_EQ(OpenFromAnotherProcess(host.DevicePath()), 1);
  ASSERT_TRUE(OpenChannelDevice(host.DevicePath(), second));
  EXPECT_EQ(OpenFromAnotherProcess(host.DevicePath()), 0);
}

TEST_F(PtyEndToEndTest, QueueCountAndPurgeSeeTheBytesThatArrived) {
  const uint8_t addresses[] = {0xF8, 0xF8, 0xF8};  // each one echoed
  ASSERT_EQ(WriteBytes(channel, addresses, 3), 3);
  ASSERT_TRUE(WaitForInput(channel, 3, 500));
  EXPECT_EQ(InputQueueCount(channel), 3u);
  uint8_t byte = 0;
  EXPECT_EQ(ReadBytes(channel, &byte, 1), 1);
  EXPECT_EQ(byte, 0xF8);
  EXPECT_EQ(InputQueueCount(channel), 2u);
  PurgeChannel(channel, kPurgeRxClear);
  EXPECT_EQ(InputQueueCount(channel), 0u);
  EXPECT_FALSE(WaitForInput(channel, 1, 20));
}

TEST_F(PtyEndToEndTest, EachByteGoesOutWithTheNinthBitOfItsRole) {
  int32_t version = 0;
  ASSERT_NE(IdentifyRegister(channel, 0xF8, version), IdentifyAnswer::None);
  ASSERT_TRUE(WriteRegisterByte(channel, 0xF8, 0x2E70, 0xFF));
  std::vector<std::pair<uint8_t, ParityMode>> sent;
  for (const emu::WireByte& b : line.Log()) {
    if (b.toRegister) sent.emplace_back(b.value, b.parity);
  }
  const std::vector<std::pair<uint8_t, ParityMode>> expected{
      {0xF8, P::Mark},  {0x01, P::Space}, {0x14, P::Space}, {0xEA, P::Space},
      {0xF8, P::Mark},  {0x05, P::Space}, {0x05, P::Space}, {0x70, P::Space},
      {0x2E, P::Space}, {0x01, P::Space}, {0xFF, P::Space}, {0x57, P::Space}};
  EXPECT_EQ(sent, expected);
}

TEST_F(PtyEndToEndTest, AWaitNoticesAnArrivingByteWithinAFewMilliseconds) {
  reg->SetReplyDelayMs(50);
  const uint8_t address = 0xF8;
  const auto start = steady_clock::now();
  WriteBytes(channel, &address, 1);
  ASSERT_TRUE(WaitForInput(channel, 1, 500));
  const uint32_t noticed = SystemClock::Instance().NowMs();
  EXPECT_GE(MsSince(start), 49);
  EXPECT_LT(MsSince(start), 100);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the host logs after sending
  uint32_t sentAt = 0;
  for (const emu::WireByte& b : line.Log()) {
    if (!b.toRegister) sentAt = b.timeMs;
  }
  // From the host's send to the wait's return: a few ms even on a busy machine.
  EXPECT_LE(noticed - sentAt, 15u);
}

TEST_F(PtyEndToEndTest, WaitsOnASilentLineBlockInsteadOfSpinning) {
  reg->SetFault(emu::Fault::Silent);
  const double cpuStart = ThreadCpuMs();
  const auto start = steady_clock::now();
  EXPECT_FALSE(WaitForInput(channel, 1, 300));
  // More than 300 ms on the channel's own millisecond counter, which the
  // virtual-clock tests check exactly; whole milliseconds of steady_clock,
  // truncated, may then show 300.
  EXPECT_GE(MsSince(start), 300);
  uint8_t byte = 0;
  EXPECT_EQ(ReadBytes(channel, &byte, 1), 0);
  DelayMs(SystemClock::Instance(), 100);
  EXPECT_GE(MsSince(start), 520);
  EXPECT_LT(MsSince(start), 800);
  EXPECT_LT(ThreadCpuMs() - cpuStart, 40.0);  // of more than half a second
}

TEST_F(PtyEndToEndTest, AnAdapterVanishingMidCommandEndsItPromptly) {
  for (emu::Fault fault : {emu::Fault::Silent, emu::Fault::NoAck}) {
    emu::Line lostLine;
    lostLine.AddRegister(7).SetFault(fault);
    emu::PtyHost lostHost{lostLine};
    ASSERT_TRUE(lostHost.Start());
    SerialChannel lost;
    ASSERT_TRUE(OpenChannelDevice(lostHost.DevicePath(), lost));
    std::thread unplug([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      lostHost.Vanish();
    });
    const auto start = steady_clock::now();
    uint8_t value = 0;
    EXPECT_FALSE(ReadRegisterByte(lost, 0xF8, 11887, value)) << emu::FaultName(fault);
    const int64_t took = MsSince(start);
    unplug.join();
    EXPECT_GE(took, 95);
    EXPECT_LT(took, 250) << emu::FaultName(fault);  // not the 500 or 700 ms of its waits

    const double cpuStart = ThreadCpuMs();
    const auto after = steady_clock::now();
    EXPECT_FALSE(WaitForInput(lost, 1, 500));
    EXPECT_EQ(InputQueueCount(lost), 0u);
    EXPECT_EQ(WriteBytes(lost, &value, 1), -1);
    EXPECT_LT(MsSince(after), 50);
    EXPECT_LT(ThreadCpuMs() - cpuStart, 20.0);
    CloseChannel(lost);
  }
}

TEST_F(PtyEndToEndTest, EveryCommandFailsPromptlyOnceTheAdapterIsGone) {
  host.Vanish();
  const auto start = steady_clock::now();
  uint8_t value = 0;
  EXPECT_FALSE(ReadRegisterByte(channel, 0xF8, 11887, value));
  EXPECT_FALSE(WriteRegisterByte(channel, 0xF8, 11887, '5'));
  EXPECT_LT(MsSince(start), 50);
  int32_t version = 777;
  EXPECT_EQ(IdentifyRegister(channel, 0xF8, version), IdentifyAnswer::None);
  EXPECT_EQ(version, 777);
  uint8_t address = 0x42;
  EXPECT_FALSE(DetectAddressByte(channel, address));
  EXPECT_EQ(address, 0x42);
  EXPECT_LT(MsSince(start), 200);  // identify's fixed 40 ms delay included
  CloseChannel(channel);
  EXPECT_FALSE(channel.IsOpen());
}

}  // namespace
}  // namespace zenor9
