// zenor9 on a whole line: lists of net numbers and --all for identify, read and
// write, output as each register is done, the exit code rule, the JSON shape,
// the progress line on a terminal, and stop requests (SIGINT, SIGTERM) in the
// middle of a scan and of a write on several registers.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <set>

#include <nlohmann/json.hpp>

#include "emulator/pty_host.h"
#include "link/net_number.h"
#include "sent_bytes.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::BackgroundZenor9;
using testing::ChildResult;
using testing::JsonOf;
using testing::RunZenor9;

constexpr const char* kNoLink = "Нет связи с ККМ";

std::set<std::string> KeysOf(const nlohmann::json& object) {
  std::set<std::string> keys;
  for (const auto& item : object.items()) keys.insert(item.key());
  return keys;
}

class BatchTest : public ::testing::Test {
 protected:
  void StartLine() { ASSERT_TRUE(host.Start()); }
  testing::Environment Com1() const { return {{"ZENOR9_COM1", host.DevicePath()}}; }
  ChildResult Run(const std::vector<std::string>& args) { return RunZenor9(args, Com1()); }

  // Sends `signal` to the child the first time `when` holds for a byte sent to
  // the registers.
  void SignalWhen(int signal, std::function<bool(const emu::WireByte&)> when) {
    line.SetObserver([this, signal, when](const emu::WireByte& byte) {
      if (byte.toRegister && child.load() > 0 && when(byte)) ::kill(child.exchange(0), signal);
    });
  }

  emu::Line line;
  emu::PtyHost host{line};
  std::atomic<pid_t> child{0};
};

TEST_F(BatchTest, ListsAndAllServeEveryCommandInNetNumberOrder) {
  line.AddRegister(3);
  line.AddRegister(7).SetPrefix("25");
  line.AddRegister(12).SetPrefix("off");
  line.AddRegister(40);
  StartLine();

  // --net before and after the command, a list and a single number, add up.
  const ChildResult read = Run({"--net", "12,3", "read", "--net", "7"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, "ККМ 3: 23\nККМ 7: 25\nККМ 12: выкл\n");
  EXPECT_TRUE(read.err.empty()) << read.err;

  const ChildResult identify = Run({"identify", "--all"});
  EXPECT_EQ(identify.exitCode, 0) << identify.err;
  EXPECT_EQ(
      identify.out,
      "ККМ 3: версия 1.0.5\nККМ 7: версия 1.0.5\nККМ 12: версия 1.0.5\nККМ 40: версия 1.0.5\n");

  const ChildResult write = Run({"write", "26", "--all"});
  EXPECT_EQ(write.exitCode, 0) << write.err;
  EXPECT_EQ(write.out,
            "ККМ 3: 26 (было 23; проверено чтением)\nККМ 7: 26 (было 25; проверено чтением)\n"
            "ККМ 12: 26 (было выкл; проверено чтением)\nККМ 40: 26 (было 23; проверено чтением)\n"
            "всего ККМ: 4; изменено: 4, без изменений: 0, с ошибкой: 0\n");
  for (std::size_t i = 0; i < line.RegisterCount(); ++i) {
    EXPECT_EQ(line.RegisterAt(i).Prefix(), "26") << i;
  }

  const ChildResult json = Run({"--json", "--all", "read"});
  EXPECT_EQ(json.exitCode, 0);
  const nlohmann::json object = JsonOf(json.out);
  EXPECT_EQ(KeysOf(object),
            (std::set<std::string>{"schema", "ok", "port", "registers", "changed", "summary"}));
  EXPECT_EQ(object["ok"], true);
  EXPECT_EQ(object["port"], host.DevicePath());
  ASSERT_EQ(object["registers"].size(), 4u);
  EXPECT_EQ(
      object["registers"][1],
      nlohmann::json::parse(R"({"net":7,"ok":true,"version":105,"prefix":"26","retries":0})"));

  const nlohmann::json written =
      JsonOf(Run({"--json", "--net", "7", "--net", "12", "write", "off"}).out);
  EXPECT_EQ(written["registers"][1],
            nlohmann::json::parse(R"({"net":12,"ok":true,"version":105,"prefix":"off",
                                      "before":"26","asked":"off","holds":"off",
                                      "verified":true,"written":true,"changed":true,
                                      "retries":0})"));
}

TEST_F(BatchTest, AFailingRegisterDoesNotStopTheOthersAndTheFirstFailureGivesTheExitCode) {
  line.AddRegister(3);
  line.AddRegister(9).SetFault(emu::Fault::NoAck);
  line.AddRegister(12, 0x01, 0x06);
  line.AddRegister(20).SetFault(emu::Fault::IgnoreWrites);
  line.AddRegister(31);
  StartLine();

  const ChildResult text = Run({"--net", "3,9,12,20,31", "write", "24"});
  EXPECT_EQ(text.exitCode, 1);  // net 9 is the first to fail
  EXPECT_EQ(text.out,
            "ККМ 3: 24 (было 23; проверено чтением)\n"
            "ККМ 9: ошибка: Нет связи с ККМ\n"
            "ККМ 12: ошибка: Поддерживается только ПО 1.0.5 (в ККМ 1.0.6)\n"
            "ККМ 20: ошибка: Префикс в ККМ не совпадает с записанным: записано 24, в ККМ 23\n"
            "ККМ 31: 24 (было 23; проверено чтением)\n"
            "всего ККМ: 5; изменено: 2, без изменений: 0, с ошибкой: 3\n");
  // The first register without a link gets the doctor, on its own net number.
  EXPECT_EQ(text.err, "Дальше: zenor9 doctor --port COM1 --net 9 скажет, что мешает связи\n");
  EXPECT_EQ(line.RegisterAt(0).Prefix(), "24");
  EXPECT_EQ(line.RegisterAt(2).Prefix(), "23");  // refused before any write
  EXPECT_EQ(line.RegisterAt(4).Prefix(), "24");

  EXPECT_EQ(Run({"--net", "20,12,3", "write", "25"}).exitCode, 4);
  EXPECT_EQ(Run({"--net", "31,20", "write", "25"}).exitCode, 5);
  EXPECT_EQ(Run({"--net", "3,31", "write", "25"}).exitCode, 0);

  const ChildResult json = Run({"--json", "--net", "3,9,12,20", "write", "22"});
  EXPECT_EQ(json.exitCode, 1);
  const nlohmann::json object = JsonOf(json.out);
  EXPECT_EQ(object["ok"], false);
  EXPECT_FALSE(object.contains("error"));  // each register says its own
  const nlohmann::json& registers = object["registers"];
  ASSERT_EQ(registers.size(), 4u);
  EXPECT_EQ(registers[0], nlohmann::json::parse(
                              R"({"net":3,"ok":true,"version":105,"prefix":"22","before":"25",
                                  "asked":"22","holds":"22","verified":true,"written":true,
                                  "changed":true,"retries":0})"));
  // Its identify tried four times.
  EXPECT_EQ(registers[1], nlohmann::json::parse(R"({"net":9,"ok":false,"asked":"22",)"
                                                R"("written":false,"changed":false,"retries":3,)"
                                                R"("error":"no-link","message":")" +
                                                std::string(kNoLink) + R"("})"));
  EXPECT_EQ(registers[2]["error"], "unsupported-firmware");
  EXPECT_EQ(registers[2]["version"], 106);
  EXPECT_EQ(registers[3]["error"], "verify-mismatch");
  EXPECT_EQ(registers[3]["asked"], "22");
  EXPECT_EQ(registers[3]["holds"], "23");  // what the register still holds
  EXPECT_FALSE(registers[3].contains("prefix"));
}

TEST_F(BatchTest, AllOnALineWithoutRegistersExits1) {
  StartLine();
  const ChildResult text = Run({"--all", "read"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(text.err, std::string(kNoLink) +
                          "\nДальше: zenor9 doctor --port COM1 скажет, что мешает связи\n");

  const ChildResult traced = Run({"--all", "--json", "--trace", "identify"});
  const nlohmann::json object = JsonOf(traced.out);
  EXPECT_EQ(object["error"], "no-link");
  EXPECT_EQ(object["registers"], nlohmann::json::array());
  const testing::TracedSends sent = testing::TracedSendsOf(traced.err);
  EXPECT_EQ(sent.mark, 100u);  // the whole scan
  EXPECT_EQ(sent.space, 0u);   // and nothing else
}

TEST_F(BatchTest, BadListsAndMisplacedAllAreUsageErrorsWithNothingSent) {
  line.AddRegister(3);
  StartLine();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--net", "3,", "read"},
           {"--net", "3,,7", "read"},
           {"--net", "7,3,7", "read"},
           {"--net", "3,100", "read"},
           {"--all", "--net", "3", "read"},
           {"--all", "scan"},
           {"detect", "--all"},
       }) {
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_NE(result.err.find("--"), std::string::npos) << result.err;
  }
  EXPECT_TRUE(line.Log().empty());
}

TEST_F(BatchTest, ScanPrintsEachRegisterAsSoonAsItIsKnown) {
  line.AddRegister(0);
  line.AddRegister(99);
  StartLine();

  BackgroundZenor9 scan({"scan"}, Com1());
  EXPECT_EQ(scan.ReadLine(5000), "ККМ 0: версия 1.0.5");
  const auto first = std::chrono::steady_clock::now();
  EXPECT_EQ(scan.ReadLine(10000), "ККМ 99: версия 1.0.5");
  // Between the two lie 98 probes of more than 10 ms each and an identify.
  EXPECT_GT(std::chrono::steady_clock::now() - first, std::chrono::milliseconds(1000));
  EXPECT_EQ(scan.Stop(0).exitCode, 0);
}

TEST_F(BatchTest, SigintMidScanStopsProbingAndPrintsWhatWasFound) {
  line.AddRegister(0);
  line.AddRegister(99);
  SignalWhen(SIGINT, [](const emu::WireByte& byte) {
    return byte.parity == ParityMode::Mark && byte.value == AddressByteOfNetNumber(50);
  });
  StartLine();

  BackgroundZenor9 scan({"--json", "scan"}, Com1());
  child = scan.Pid();
  const ChildResult result = scan.Stop(0);
  EXPECT_EQ(result.exitCode, 130) << result.err;
  const nlohmann::json object = JsonOf(result.out);
  EXPECT_EQ(object["ok"], false);
  EXPECT_EQ(object["interrupted"], true);
  EXPECT_EQ(object["error"], "interrupted");
  EXPECT_EQ(object["registers"], nlohmann::json::parse(R"([{"net":0,"version":105,"retries":0}])"));
  // Probes 0 to 50 and the identify of net 0 (its address byte); a few more
  // while the signal is on its way on a busy machine, never the rest of the 100.
  std::size_t marks = 0;
  for (const emu::WireByte& byte : line.Log()) {
    marks += byte.toRegister && byte.parity == ParityMode::Mark ? 1 : 0;
  }
  EXPECT_GE(marks, 52u);
  EXPECT_LE(marks, 60u);
}

TEST_F(BatchTest, SigintMidWriteFinishesThatRegisterAndLeavesTheRestUntouched) {
  for (uint8_t net = 1; net <= 5; ++net) line.AddRegister(net);
  // Net 3's fourth address byte begins its tens cell write (after identify and
  // the reads of both cells that say what the write replaces).
  int addressedNet3 = 0;
  SignalWhen(SIGINT, [&addressedNet3](const emu::WireByte& byte) {
    return byte.parity == ParityMode::Mark && byte.value == AddressByteOfNetNumber(3) &&
           ++addressedNet3 == 4;
  });
  StartLine();

  BackgroundZenor9 write({"--json", "--net", "1,2,3,4,5", "write", "27"}, Com1());
  child = write.Pid();
  const ChildResult result = write.Stop(0);
  host.Stop();  // before the observer's locals go away
  EXPECT_EQ(result.exitCode, 130) << result.err;
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(line.RegisterAt(i).Prefix(), i < 3 ? "27" : "23") << "net " << i + 1;
  }
  const nlohmann::json object = JsonOf(result.out);
  EXPECT_EQ(object["interrupted"], true);
  ASSERT_EQ(object["registers"].size(), 5u);
  EXPECT_EQ(object["registers"][2],
            nlohmann::json::parse(R"({"net":3,"ok":true,"version":105,"prefix":"27","before":"23",
                                      "asked":"27","holds":"27","verified":true,
                                      "written":true,"changed":true,"retries":0})"));
  // The registers the stop kept the run from are listed as such.
  for (std::size_t i = 3; i < 5; ++i) {
    EXPECT_EQ(object["registers"][i]["net"], i + 1);
    EXPECT_EQ(object["registers"][i]["ok"], false);
    EXPECT_EQ(object["registers"][i]["error"], "not-reached");
  }
}

// A stop while net 3's old value is read comes before any byte of its write:
// net 3 keeps its prefix and is listed with the rest as not written.
TEST_F(BatchTest, SigintBeforeAWriteLeavesThatRegisterAndTheRestListedAsNotWritten) {
  for (uint8_t net = 1; net <= 4; ++net) line.AddRegister(net);
  int addressedNet3 = 0;
  SignalWhen(SIGINT, [&addressedNet3](const emu::WireByte& byte) {
    return byte.parity == ParityMode::Mark && byte.value == AddressByteOfNetNumber(3) &&
           ++addressedNet3 == 2;
  });
  StartLine();

  BackgroundZenor9 write({"--net", "1,2,3,4", "write", "27"}, Com1());
  child = write.Pid();
  const ChildResult result = write.Stop(0);
  host.Stop();  // before the observer's locals go away
  EXPECT_EQ(result.exitCode, 130) << result.err;
  EXPECT_EQ(result.out,
            "ККМ 1: 27 (было 23; проверено чтением)\nККМ 2: 27 (было 23; проверено чтением)\n"
            "ККМ 3: не записана: остановлено\nККМ 4: не записана: остановлено\n"
            "всего ККМ: 4; изменено: 2, без изменений: 0, с ошибкой: 2\n");
  EXPECT_EQ(result.err, "остановлено по SIGINT\n");
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(line.RegisterAt(i).Prefix(), i < 2 ? "27" : "23") << "net " << i + 1;
  }
}

TEST_F(BatchTest, SigtermDuringTheSetUpOfOneRegisterExits143AndSendsNothingMore) {
  line.AddRegister(7).SetFault(emu::Fault::NoAck);
  line.AddRegister(8).SetFault(emu::Fault::NoAck);
  std::atomic<std::size_t> sentAtTheSignal{0};
  SignalWhen(SIGTERM, [this, &sentAtTheSignal](const emu::WireByte& byte) {
    if (byte.parity != ParityMode::Space) return false;
    sentAtTheSignal = line.SentBytes().size();
    return true;
  });
  StartLine();

  BackgroundZenor9 read({"--net", "7,8", "read"}, Com1());
  child = read.Pid();
  const ChildResult result = read.Stop(0);
  host.Stop();  // before the observer's locals go away
  EXPECT_EQ(result.exitCode, 143);
  // Net 7's set-up cut short, net 8 not begun: both listed, so that the user
  // knows to read them again.
  EXPECT_EQ(result.out, "ККМ 7: не прочитана: остановлено\nККМ 8: не прочитана: остановлено\n");
  EXPECT_EQ(result.err, "остановлено по SIGTERM\n");
  // Net 7's identify frame (01 14 EA) was on its way; net 8 never addressed.
  EXPECT_LE(line.SentBytes().size(), sentAtTheSignal + 2);
  for (const emu::WireByte& byte : line.Log()) {
    EXPECT_FALSE(byte.toRegister && byte.value == AddressByteOfNetNumber(8));
  }
}

TEST_F(BatchTest, SigintStopsTheDoctorsScanToo) {
  line.AddRegister(95);
  SignalWhen(SIGINT, [](const emu::WireByte& byte) {
    return byte.parity == ParityMode::Mark && byte.value == AddressByteOfNetNumber(30);
  });
  StartLine();

  BackgroundZenor9 doctor({"--json", "doctor"}, Com1());
  child = doctor.Pid();
  const ChildResult result = doctor.Stop(0);
  EXPECT_EQ(result.exitCode, 130);
  const nlohmann::json object = JsonOf(result.out);
  EXPECT_EQ(object["interrupted"], true);
  ASSERT_TRUE(object["checks"].is_array());
  EXPECT_EQ(object["checks"].back()["detail"], "остановлено раньше, чем закончен поиск");
  std::size_t probes = 0;
  for (const emu::WireByte& byte : line.Log()) probes += byte.toRegister ? 1 : 0;
  // Not on to net number 95: room for a late signal on a busy machine (each
  // probe is about 11 ms), none for a scan that ignores the stop.
  EXPECT_LE(probes, 80u);
}

TEST_F(BatchTest, ProgressShowsOnATerminalOnlyAndIsErasedAtTheEnd) {
  line.AddRegister(5);
  line.AddRegister(6);
  StartLine();

  const ChildResult shown = testing::RunZenor9OnTerminal({"--all", "read"}, Com1());
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out, "ККМ 5: 23\nККМ 6: 23\n");
  for (const char* text :
       {"\rпоиск ККМ: 1 из 100", "\rпоиск ККМ: 100 из 100", "\rККМ 1 из 2", "\rККМ 2 из 2"}) {
    EXPECT_NE(shown.err.find(text), std::string::npos) << text;
  }
  // The last thing on the terminal blanks the indicator out.
  // As wide as "ККМ 2 из 2" is on the terminal: ten characters, not its 15 bytes.
  const std::string erased = "\r" + std::string(10, ' ') + "\r";
  EXPECT_EQ(shown.err.substr(shown.err.size() - erased.size()), erased);

  // The walk that finds the one register of a command without --net.
  line.RegisterAt(1).SetFault(emu::Fault::Silent);
  const ChildResult found = testing::RunZenor9OnTerminal({"read"}, Com1());
  EXPECT_EQ(found.out, "ККМ 5: 23\n");  // named: the user did not say which
  EXPECT_NE(found.err.find("\rпоиск ККМ: 100 из 100"), std::string::npos);
  EXPECT_EQ(found.err.back(), '\r');

  EXPECT_EQ(testing::RunZenor9OnTerminal({"--all", "--json", "read"}, Com1()).err, "");
  EXPECT_EQ(
      testing::RunZenor9OnTerminal({"--net", "5", "--trace", "read"}, Com1()).err.find("поиск"),
      std::string::npos);
}

TEST(SimStopTest, SigintMidScanOfTheVirtualRegisterKeepsTheLinesPrinted) {
  BackgroundZenor9 sim({"sim", "--net", "0,99"});
  const std::string device = sim.ReadLine(5000);
  ASSERT_FALSE(device.empty());

  BackgroundZenor9 scan({"--port", device, "scan"});
  EXPECT_EQ(scan.ReadLine(5000), "ККМ 0: версия 1.0.5");
  const ChildResult stopped = scan.Stop(SIGINT);
  EXPECT_EQ(stopped.exitCode, 130);
  EXPECT_EQ(stopped.out, "");  // net 99 was never reached
  EXPECT_EQ(stopped.err, "остановлено по SIGINT\n");
  EXPECT_EQ(sim.Stop(SIGTERM).exitCode, 0);
}

TEST(CommandHelpTest, EachCommandListsItsOptionsAndOnlyItsExitCodes) {
  const testing::Environment english = {{"LANG", "en_US.UTF-8"}};
  const ChildResult write = RunZenor9({"write", "--help"}, english);
  EXPECT_EQ(write.exitCode, 0);
  for (const char* text : {"--port", "--net", "--all", "--json", "--trace", "--retries", "--verify",
                           "--no-verify", "--no-journal", "5  write read back",
                           "130  stopped by SIGINT", "143  stopped by SIGTERM", "default COM1"}) {
    EXPECT_NE(write.out.find(text), std::string::npos) << text;
  }
  const ChildResult scan = RunZenor9({"scan", "--help"}, english);
  EXPECT_NE(scan.out.find("130"), std::string::npos);
  EXPECT_NE(scan.out.find("1  no register answered"), std::string::npos) << scan.out;
  for (const char* text : {"--net", "--all", "4  firmware", "5  write"}) {
    EXPECT_EQ(scan.out.find(text), std::string::npos) << text;
  }
  const ChildResult ports = RunZenor9({"ports", "--help"}, english);
  EXPECT_NE(ports.out.find("1  the COM map could not be read or written"), std::string::npos)
      << ports.out;
  for (const char* text : {"130", "3  port", "--port COMn", "no link", "Excludes"}) {
    EXPECT_EQ(ports.out.find(text), std::string::npos) << text;
  }

  // sim names the faults it takes.
  const ChildResult sim = RunZenor9({"sim", "--help"}, english);
  for (const char* text : {"no-echo", "late-reply", "ignore-writes", "--random-faults P"}) {
    EXPECT_NE(sim.out.find(text), std::string::npos) << text;
  }

  const ChildResult version = RunZenor9({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("zenor9 ", 0), 0u) << version.out;
  EXPECT_NE(version.out.find("MIT"), std::string::npos) << version.out;
}

TEST(CommandHelpTest, OffIsAcceptedInAnyCaseAndSimSaysWhyItCannotLink) {
  // No register behind COM1: the value passed the check, the port did not open.
  EXPECT_EQ(RunZenor9({"--net", "7", "write", "OFF"}).exitCode, 3);
  EXPECT_EQ(RunZenor9({"--net", "7", "write", "Off"}).exitCode, 3);

  const ChildResult sim = RunZenor9({"sim", "--link", "/nonexistent/zenor9/register"});
  EXPECT_EQ(sim.exitCode, 1);
  EXPECT_NE(sim.err.find("нет такого файла или папки"), std::string::npos) << sim.err;
}

}  // namespace
}  // namespace zenor9
