// Stop signals and a vanished reader in the middle of a prefix write: the real
// zenor9 against registers on a pseudo-terminal, each signal sent once the
// tens cell's write is acknowledged, and judged by what the register's two
// cells hold afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>

#include <nlohmann/json.hpp>

#include "emulator/pty_host.h"
#include "link/frame.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::BackgroundZenor9;
using testing::ChildResult;

// The check byte of the frame that writes `value` into the tens cell: the
// register's acknowledgement of that write.
uint8_t TensWriteAck(uint8_t value) {
  constexpr uint16_t cell = emu::kEmulatedPrefixTensCell;
  const std::array<uint8_t, 5> payload{0x05, static_cast<uint8_t>(cell & 0xFF),
                                       static_cast<uint8_t>(cell >> 8), 0x01, value};
  return BuildLinkFrame(payload).back();
}

std::array<uint8_t, 2> Cells(const emu::Register& reg) {
  return {reg.ReadRam(emu::kEmulatedPrefixTensCell), reg.ReadRam(emu::kEmulatedPrefixUnitsCell)};
}

nlohmann::json JsonOf(const std::string& out) {
  nlohmann::json object = nlohmann::json::parse(out, nullptr, false);
  EXPECT_TRUE(object.is_object()) << out;
  return object.is_object() ? object : nlohmann::json::object();
}

// Registers on a pseudo-terminal that hold no prefix ("off", 0xFF in both
// cells), so that a write cut between its cells shows as 0x32 0xFF.
class WriteLine {
 public:
  explicit WriteLine(std::initializer_list<uint8_t> nets) {
    for (uint8_t net : nets) line.AddRegister(net).SetPrefix("off");
  }
  ~WriteLine() { host.Stop(); }

  bool Start() { return host.Start(); }
  testing::Environment Com1() const { return {{"ZENOR9_COM1", host.DevicePath()}}; }

  // Runs zenor9 with `args` to its end, its pid in `child` meanwhile, then stops
  // serving, so that the observer's captures may go.
  ChildResult Run(const std::vector<std::string>& args, std::atomic<pid_t>& child) {
    BackgroundZenor9 run(args, Com1());
    child = run.Pid();
    ChildResult result = run.Stop(0);
    host.Stop();
    return result;
  }

  // Runs `act` once, on the host's thread, when the register acknowledges the
  // first write of 0x32 into a tens cell; `onAddress`, when given, learns the
  // number of each address byte sent (1 for the first).
  void WhenTheTensCellIsAcknowledged(std::function<void()> act,
                                     std::function<void(int)> onAddress = {}) {
    const uint8_t ack = TensWriteAck('2');
    line.SetObserver([this, ack, act, onAddress](const emu::WireByte& byte) {
      if (byte.toRegister && byte.parity == ParityMode::Mark && onAddress) onAddress(++addresses_);
      // The write frame is the only one of seven bytes; identify's has three.
      if (byte.toRegister) spaceBytes_ = byte.parity == ParityMode::Space ? spaceBytes_ + 1 : 0;
      if (!byte.toRegister && spaceBytes_ == 7 && byte.value == ack && !acted.exchange(true)) {
        act();
      }
    });
  }

  emu::Line line;
  emu::PtyHost host{line};
  std::atomic<bool> acted{false};

 private:
  // Counted on the host's thread only.
  int spaceBytes_ = 0;
  int addresses_ = 0;
};

TEST(StopSignalTest, EveryStopSignalEndsABatchAfterTheBegunWriteAndNeverBetweenItsCells) {
  for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
    SCOPED_TRACE(::strsignal(signal));
    WriteLine registers({7, 8});
    std::atomic<pid_t> child{0};
    registers.WhenTheTensCellIsAcknowledged([&child, signal] { ::kill(child.load(), signal); });
    ASSERT_TRUE(registers.Start());

    const ChildResult result =
        registers.Run({"--json", "--net", "7,8", "write", "25", "--verify"}, child);
    ASSERT_TRUE(registers.acted);
    EXPECT_EQ(result.exitCode, 128 + signal) << result.err;
    EXPECT_EQ(Cells(registers.line.RegisterAt(0)), (std::array<uint8_t, 2>{'2', '5'}));
    EXPECT_EQ(registers.line.RegisterAt(1).Prefix(), "off");  // never begun
    const nlohmann::json object = JsonOf(result.out);
    EXPECT_EQ(object["interrupted"], true);
    EXPECT_EQ(object["error"], "interrupted");
    EXPECT_EQ(
        object["registers"],
        nlohmann::json::parse(R"([{"net":7,"ok":true,"version":105,"prefix":"25","before":"off",
                                         "asked":"25","holds":"25","verified":true,
                                         "written":true,"changed":true,"retries":0},
                                        {"net":8,"ok":false,"written":false,"changed":false,
                                         "error":"not-reached",
                                         "message":"не записана: остановлено"}])"));
  }
}

// A stop keeps what the step it did not cut short found: a write that ended
// by itself reports its own success or failure, with "interrupted" beside it.
TEST(StopSignalTest, AWriteThatTheStopDidNotCutShortKeepsItsOwnResult) {
  WriteLine done({7});
  std::atomic<pid_t> child{0};
  done.WhenTheTensCellIsAcknowledged([&child] { ::kill(child.load(), SIGHUP); });
  ASSERT_TRUE(done.Start());
  const ChildResult written = done.Run({"--json", "--net", "7", "write", "25"}, child);
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(JsonOf(written.out)["interrupted"], true);
  EXPECT_EQ(JsonOf(written.out)["prefix"], "25");
  EXPECT_EQ(Cells(done.line.RegisterAt(0)), (std::array<uint8_t, 2>{'2', '5'}));

  // Left at FF 37 by an earlier failed "off"; now the units cell of 24 is
  // refused while Ctrl-C is pressed: the failure is reported, not the stop,
  // and the register is said to hold 27.
  WriteLine refused({7});
  emu::Register& reg = refused.line.RegisterAt(0);
  reg.WriteRam(emu::kEmulatedPrefixUnitsCell, '7');
  refused.WhenTheTensCellIsAcknowledged(
      [&] {
        reg.SetFault(emu::Fault::IgnoreWrites);
        reg.SetFault(emu::Fault::NoAck);
        ::kill(child.load(), SIGINT);
      },
      // identify, the reads of what it replaces, tens, the units cell's four
      // tries (a stop does not cut a begun write's retries short), then the
      // reads of what it holds
      [&reg](int address) {
        if (address == 9) reg.ClearFaults();
      });
  ASSERT_TRUE(refused.Start());
  const ChildResult failed = refused.Run({"--json", "--net", "7", "write", "24"}, child);
  EXPECT_EQ(failed.exitCode, 1) << failed.err;
  const nlohmann::json object = JsonOf(failed.out);
  EXPECT_EQ(object["error"], "command-failed");
  EXPECT_EQ(object["message"], "Не удается установить интерфейс с ККМ");
  EXPECT_EQ(object["interrupted"], true);
  EXPECT_EQ(object["holds"], "27");
  EXPECT_EQ(Cells(reg), (std::array<uint8_t, 2>{'2', '7'}));
}

TEST(StopSignalTest, AReaderThatGoesAwayEndsThePrintingNeverTheWrite) {
  WriteLine registers({7});
  int output[2];
  ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
  std::atomic<int> reader{output[0]};
  // As `zenor9 --trace write 25 2>&1 | head -1` does once head has its line.
  registers.WhenTheTensCellIsAcknowledged([&reader] { ::close(reader.exchange(-1)); });
  ASSERT_TRUE(registers.Start());

  const pid_t child = testing::StartZenor9WithOutput({"--trace", "--net", "7", "write", "25"},
                                                     registers.Com1(), output[1]);
  ::close(output[1]);
  const int end = testing::WaitForEnd(child);
  registers.host.Stop();
  if (const int fd = reader.exchange(-1); fd >= 0) ::close(fd);
  ASSERT_TRUE(registers.acted);
  EXPECT_EQ(end, 1);  // not killed by SIGPIPE; the result did not reach its reader
  EXPECT_EQ(Cells(registers.line.RegisterAt(0)), (std::array<uint8_t, 2>{'2', '5'}));
}

}  // namespace
}  // namespace zenor9
