// What a write reports: which register it wrote when the user gave no net
// number (and that it wrote none when several answer), and, after a failure,
// what the register's two cells hold now.
#include <gtest/gtest.h>

#include <atomic>

#include <nlohmann/json.hpp>

#include "emulator/pty_host.h"
#include "sent_bytes.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::ChildResult;

nlohmann::json JsonOf(const std::string& out) {
  nlohmann::json object = nlohmann::json::parse(out, nullptr, false);
  EXPECT_TRUE(object.is_object()) << out;
  return object.is_object() ? object : nlohmann::json::object();
}

std::size_t SpaceBytesSent(const emu::Line& line) {
  std::size_t count = 0;
  for (const emu::WireByte& byte : line.Log()) {
    count += byte.toRegister && byte.parity == ParityMode::Space ? 1 : 0;
  }
  return count;
}

class WriteResultTest : public ::testing::Test {
 protected:
  void StartLine() { ASSERT_TRUE(host.Start()); }
  ChildResult Run(const std::vector<std::string>& args) {
    return testing::RunZenor9(args, {{"ZENOR9_COM1", host.DevicePath()}});
  }

  emu::Line line;
  emu::PtyHost host{line};
};

TEST_F(WriteResultTest, AWriteWithoutNetWritesOnlyTheOneRegisterOnTheLineAndNamesIt) {
  emu::Register& three = line.AddRegister(3);
  emu::Register& seven = line.AddRegister(7);
  emu::Register& twelve = line.AddRegister(12);
  StartLine();

  // Three registers: the first to answer is not taken for the one meant.
  const ChildResult several = Run({"write", "21"});
  EXPECT_EQ(several.exitCode, 2) << several.err;
  EXPECT_EQ(several.out, "");
  for (const char* named : {"(ККМ 3, ККМ 7, ККМ 12)", "--net N", "--all"}) {
    EXPECT_NE(several.err.find(named), std::string::npos) << several.err;
  }
  const ChildResult traced = Run({"--json", "--trace", "write", "21"});
  const nlohmann::json json = JsonOf(traced.out);
  EXPECT_EQ(json["error"], "several-registers");
  EXPECT_EQ(json["message"].get<std::string>().back(), 'l');  // "... with --all", no ':'
  // read asks the same.
  const ChildResult read = Run({"read"});
  EXPECT_EQ(read.exitCode, 2);
  EXPECT_EQ(read.out, "");
  EXPECT_NE(read.err.find("(ККМ 3, ККМ 7, ККМ 12); ничего не прочитано"), std::string::npos)
      << read.err;
  EXPECT_EQ(json["registers"], nlohmann::json::parse(R"([{"net":3},{"net":7},{"net":12}])"));
  // The probes of a whole walk each time, and not a frame.
  const testing::TracedSends sent = testing::TracedSendsOf(traced.err);
  EXPECT_EQ(sent.mark, 100u);
  EXPECT_EQ(sent.space, 0u);
  EXPECT_EQ(SpaceBytesSent(line), 0u);
  for (const emu::Register* reg : {&three, &seven, &twelve}) EXPECT_EQ(reg->Prefix(), "23");

  // One register left: written after the whole line was probed, and named.
  seven.SetFault(emu::Fault::Silent);
  twelve.SetFault(emu::Fault::Silent);
  const ChildResult one = Run({"write", "21"});
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(one.out, "ККМ 3: 21 (было 23; проверено чтением)\n");
  EXPECT_EQ(three.Prefix(), "21");
  EXPECT_EQ(Run({"read"}).out, "ККМ 3: 21\n");
  // With --net the line names no register.
  EXPECT_EQ(Run({"--net", "3", "write", "22"}).out, "22 (было 21; проверено чтением)\n");
  EXPECT_EQ(Run({"--net", "3", "read"}).out, "22\n");
}

TEST_F(WriteResultTest, AFailedWriteSaysWhatTheRegisterHoldsNow) {
  emu::Register& reg = line.AddRegister(7);
  emu::Register& other = line.AddRegister(8);
  // Net 7 gets no answer through from its `refuseFrom`-th to its `refuseTo`-th
  // address byte of a run (identify is the first, the reads of both cells that
  // say what the write replaces the second and third, the tens cell's write the
  // fourth, and each refused write is tried three times more), and ignores
  // writes while `ignoreWrites` is set.
  std::atomic<int> addressed{0};
  std::atomic<int> refuseFrom{0};
  std::atomic<int> refuseTo{0};
  std::atomic<bool> ignoreWrites{false};
  line.SetObserver([&](const emu::WireByte& byte) {
    if (!byte.toRegister || byte.parity != ParityMode::Mark || byte.value != reg.AddressByte()) {
      return;
    }
    const int n = ++addressed;
    const bool refused = n >= refuseFrom && n <= refuseTo;
    reg.SetFault(emu::Fault::NoAck, refused);
    reg.SetFault(emu::Fault::IgnoreWrites, refused || ignoreWrites);
  });
  StartLine();
  const auto refuse = [&](int from, int to) {
    addressed = 0;
    refuseFrom = from;
    refuseTo = to;
  };

  // FF 37, left by an earlier "off" whose units cell failed; now the units
  // cell of 24 is refused in all four tries: the register holds neither what
  // it held nor 24.
  reg.SetPrefix("off");
  reg.WriteRam(emu::kEmulatedPrefixUnitsCell, '7');
  refuse(5, 8);
  const ChildResult units = Run({"--net", "7", "write", "24"});
  EXPECT_EQ(units.exitCode, 1);
  EXPECT_EQ(units.err,
            "Не удается установить интерфейс с ККМ\nв ККМ сейчас: 27\n"
            "Дальше: zenor9 doctor --port COM1 --net 7 скажет, что мешает связи\n");

  // The tens cell refused: the old value, "off" here.
  reg.SetPrefix("off");
  refuse(4, 7);
  const nlohmann::json tens = JsonOf(Run({"--json", "--net", "7", "write", "25"}).out);
  EXPECT_EQ(tens["error"], "command-failed");
  EXPECT_EQ(tens["holds"], "off");

  // Silent from the tens cell on: its cells cannot be read either.
  refuse(4, 99);
  const ChildResult gone = Run({"--net", "7", "write", "25"});
  EXPECT_EQ(gone.exitCode, 1);
  EXPECT_EQ(gone.err,
            "Не удается установить интерфейс с ККМ\nв ККМ сейчас: не удалось прочитать\n"
            "Дальше: zenor9 doctor --port COM1 --net 7 скажет, что мешает связи\n");
  refuse(4, 99);
  EXPECT_TRUE(JsonOf(Run({"--json", "--net", "7", "write", "25"}).out)["holds"].is_null());

  // In a batch each failed register says it, in its line and its JSON entry.
  // A mismatch of the read-back is a failed write too.
  refuse(0, 0);
  ignoreWrites = true;
  const ChildResult batch = Run({"--net", "7,8", "write", "21"});
  EXPECT_EQ(batch.exitCode, 5);
  EXPECT_EQ(batch.out,
            "ККМ 7: ошибка: Префикс в ККМ не совпадает с записанным: записано 21, в ККМ выкл\n"
            "ККМ 8: 21 (было 23; проверено чтением)\n"
            "всего ККМ: 2; изменено: 1, без изменений: 0, с ошибкой: 1\n");
  const nlohmann::json json = JsonOf(Run({"--json", "--net", "7,8", "write", "22"}).out);
  EXPECT_EQ(json["registers"][0]["holds"], "off");
  EXPECT_EQ(json["registers"][0]["asked"], "22");
  EXPECT_EQ(json["registers"][1]["holds"], "22");
  EXPECT_EQ(other.Prefix(), "22");
  host.Stop();  // before the observer's locals go away
}

}  // namespace
}  // namespace zenor9
