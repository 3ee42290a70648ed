// The zenor9 program as a user runs it: a child process, the real POSIX serial
// backend, and registers served on a pseudo-terminal by the test itself or by
// `zenor9 sim`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <nlohmann/json.hpp>

#include "emulator/pty_host.h"
#include "link/channel.h"
#include "sent_bytes.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::ChildResult;
using testing::RunZenor9;

constexpr const char* kNoLink = "Нет связи с ККМ";
constexpr const char* kPortUnavailable = "Выбранный COM-порт недоступен";

// The one JSON object the program prints with --json; fails the test otherwise.
nlohmann::json JsonOf(const ChildResult& result) {
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
  nlohmann::json object = nlohmann::json::parse(result.out, nullptr, false);
  EXPECT_TRUE(object.is_object()) << result.out;
  if (!object.is_object()) return nlohmann::json::object();
  static const std::set<std::string> kKnownKeys = {
      "schema",       "ok",      "port",     "net",     "version", "prefix",    "before",
      "asked",        "holds",   "verified", "written", "retries", "registers", "changed",
      "summary",      "ports",   "com",      "reason",  "detail",  "sources",   "map-file",
      "map-problems", "warning", "error",    "message"};
  for (const auto& item : object.items()) EXPECT_TRUE(kKnownKeys.count(item.key())) << item.key();
  EXPECT_TRUE(object["ok"].is_boolean());
  EXPECT_EQ(object["ok"].get<bool>(), result.exitCode == 0);
  return object;
}

std::size_t MarkBytesSent(const emu::Line& line) {
  const std::vector<emu::WireByte> log = line.Log();
  return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const auto& byte) {
    return byte.toRegister && byte.parity == ParityMode::Mark;
  }));
}

// Registers served by the test on a pseudo-terminal that the child sees as COM1.
class CliTest : public ::testing::Test {
 protected:
  void StartLine() { ASSERT_TRUE(host.Start()); }

  ChildResult Run(const std::vector<std::string>& args) {
    return RunZenor9(args, {{"ZENOR9_COM1", host.DevicePath()}});
  }

  emu::Line line;
  emu::PtyHost host{line};
};

TEST_F(CliTest, IdentifyAndDetectFindTheRegisterByScanOnCom1) {
  line.AddRegister(7);
  StartLine();

  const ChildResult identify = Run({"identify"});
  EXPECT_EQ(identify.exitCode, 0) << identify.err;
  EXPECT_EQ(identify.out, "ККМ 7: версия 1.0.5\n");
  EXPECT_EQ(line.SentBytes().front(), 0xFF);  // the scan starts at net number 0

  const ChildResult detect = Run({"--port", "com1", "--json", "detect"});
  EXPECT_EQ(detect.exitCode, 0) << detect.err;
  const nlohmann::json json = JsonOf(detect);
  EXPECT_EQ(json["net"], 7);
  EXPECT_EQ(json["version"], 105);
  EXPECT_EQ(json["port"], host.DevicePath());
  EXPECT_TRUE(detect.err.empty()) << detect.err;
}

TEST_F(CliTest, ReadShowsTheDigitsOrOffAndSkipsTheUnitsCellAfter0xFF) {
  emu::Register& reg = line.AddRegister(7);
  reg.SetPrefix("25");
  StartLine();

  const ChildResult digits = Run({"--net", "7", "--json", "read"});
  EXPECT_EQ(digits.exitCode, 0) << digits.err;
  const nlohmann::json json = JsonOf(digits);
  EXPECT_EQ(json["prefix"], "25");
  EXPECT_EQ(json["net"], 7);
  EXPECT_EQ(MarkBytesSent(line), 3u);  // identify, tens cell, units cell

  reg.SetPrefix("off");
  line.ClearLog();
  const ChildResult off = Run({"--net", "7", "read"});
  EXPECT_EQ(off.exitCode, 0) << off.err;
  EXPECT_EQ(off.out, "выкл\n");
  EXPECT_EQ(MarkBytesSent(line), 2u);  // identify and the tens cell only

  reg.WriteRam(emu::kEmulatedPrefixTensCell, '2');  // units cell still 0xFF
  EXPECT_EQ(Run({"read", "--net", "7"}).out, "выкл\n");
}

TEST_F(CliTest, WriteStoresBothCellsAndReadsThemBack) {
  emu::Register& reg = line.AddRegister(7);
  StartLine();

  const ChildResult digits = Run({"--net", "7", "write", "27"});
  EXPECT_EQ(digits.exitCode, 0) << digits.err;
  EXPECT_EQ(digits.out, "27 (было 23; проверено чтением)\n");
  EXPECT_EQ(digits.err, "Операция успешно завершена\n");
  EXPECT_EQ(reg.Prefix(), "27");
  // Identify, the two cells read for the value replaced, written, read back.
  EXPECT_EQ(MarkBytesSent(line), 7u);

  // The Russian word for off, and --verify that the scripts of before give.
  const ChildResult off = Run({"--net", "7", "--json", "write", "выкл", "--verify"});
  EXPECT_EQ(off.exitCode, 0) << off.err;
  const nlohmann::json written = JsonOf(off);
  EXPECT_EQ(written["prefix"], "off");
  EXPECT_EQ(written["before"], "27");
  EXPECT_EQ(written["holds"], "off");
  EXPECT_EQ(written["verified"], true);
  EXPECT_EQ(written["retries"], 0);
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixTensCell), 0xFF);
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixUnitsCell), 0xFF);

  // The write's own options before the command count as after it.
  const testing::ScratchFolder folder;
  const std::filesystem::path journal = folder.path / "journal.jsonl";
  line.ClearLog();
  const ChildResult first =
      RunZenor9({"--no-journal", "--net", "7", "--no-verify", "write", "25"},
                {{"ZENOR9_COM1", host.DevicePath()}, {"ZENOR9_JOURNAL", journal.string()}});
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, "25 (было выкл; без проверки чтением)\n");
  EXPECT_EQ(MarkBytesSent(line), 5u);  // no read-back
  EXPECT_FALSE(std::filesystem::exists(journal));
}

TEST_F(CliTest, WriteRefusesAnythingButTwentyToTwentyNineOrOffWithNothingSent) {
  emu::Register& reg = line.AddRegister(7);
  StartLine();

  for (const char* value : {"35", "19", "2", "200", "2a", "OF", "", "-1"}) {
    const ChildResult result = Run({"--net", "7", "write", value});
    EXPECT_EQ(result.exitCode, 2) << value;
    EXPECT_FALSE(result.err.empty()) << value;
  }
  const ChildResult json = Run({"--json", "--net", "7", "write", "35"});
  EXPECT_EQ(json.exitCode, 2);
  EXPECT_EQ(JsonOf(json)["error"], "usage");
  EXPECT_TRUE(line.Log().empty());
  EXPECT_EQ(reg.Prefix(), "23");
}

TEST_F(CliTest, OtherUsageErrorsExit2) {
  StartLine();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"--net", "100", "read"},
           {"--port", "COM256", "read"},
           {"--net", "7", "scan"},
           {"--net", "7", "detect"},
           {"--port", "COM1", "sim"},
           {"sim", "--net", "100"},
           {"sim", "--net", "3,3"},
           {"sim", "--fault", "gremlins"},
           {"sim", "--version", "01G5"},
           {"sim", "--prefix", "30"},
           {"sim", "--net", "3,7", "--prefix", "7=35"},
           {"sim", "--net", "3", "--prefix", "5=23"},
           {"sim", "--net", "3,7", "--prefix", "7=23,7=24"},
           {"sim", "--prefix", "23,24"},
       }) {
    EXPECT_EQ(Run(args).exitCode, 2) << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(line.Log().empty());
}

TEST_F(CliTest, HelpDocumentsTheExitCodes) {
  const ChildResult help = RunZenor9({"--help"}, {{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* text : {"Exit codes", "5  write read back other values", "3  port unavailable",
                           "ZENOR9_COM1", "--retries", "--no-verify", "journal"}) {
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
  }
}

// A register that acknowledges writes and keeps nothing: the read-back every
// write makes catches it, and nothing on stdout reads like a result.
TEST_F(CliTest, TheReadBackCatchesARegisterThatIgnoresWrites) {
  line.AddRegister(7).SetFault(emu::Fault::IgnoreWrites);
  StartLine();

  const ChildResult text = Run({"--net", "7", "write", "27"});
  EXPECT_EQ(text.exitCode, 5);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(text.err, "Префикс в ККМ не совпадает с записанным: записано 27, в ККМ 23\n");

  const ChildResult json = Run({"--net", "7", "--json", "write", "27"});
  EXPECT_EQ(json.exitCode, 5) << json.err;
  const nlohmann::json object = JsonOf(json);
  EXPECT_EQ(object["error"], "verify-mismatch");
  EXPECT_EQ(object["asked"], "27");
  EXPECT_EQ(object["holds"], "23");
  EXPECT_FALSE(object.contains("prefix"));
  EXPECT_FALSE(object.contains("verified"));

  // Without the read-back the acknowledgements are all there is, and it says so.
  const ChildResult unchecked = Run({"--net", "7", "write", "27", "--no-verify"});
  EXPECT_EQ(unchecked.exitCode, 0);
  EXPECT_EQ(unchecked.out, "27 (было 23; без проверки чтением)\n");
  EXPECT_EQ(Run({"--net", "7", "write", "27", "--verify", "--no-verify"}).exitCode, 2);
}

TEST_F(CliTest, FirmwareOtherThan105Exits4) {
  line.AddRegister(7, 0x01, 0x06);
  StartLine();

  const ChildResult text = Run({"--net", "7", "read"});
  EXPECT_EQ(text.exitCode, 4);
  // 1.0.6 is later than 1.0.5, and still not supported.
  EXPECT_EQ(text.err, "Поддерживается только ПО 1.0.5 (в ККМ 1.0.6)\n");
  EXPECT_TRUE(text.out.empty());

  const ChildResult json = Run({"--net", "7", "--json", "identify"});
  EXPECT_EQ(json.exitCode, 4);
  const nlohmann::json object = JsonOf(json);
  EXPECT_EQ(object["version"], 106);
  EXPECT_EQ(object["error"], "unsupported-firmware");
  EXPECT_EQ(object["message"], "Поддерживается только ПО 1.0.5 (в ККМ 1.0.6)");
  // Refused before any prefix cell was read.
  EXPECT_EQ(MarkBytesSent(line), 2u);
}

TEST_F(CliTest, MissingPortExits3) {
  const ChildResult text = RunZenor9({"--port", "/nonexistent/ttyUSB7", "read"});
  EXPECT_EQ(text.exitCode, 3);
  EXPECT_EQ(text.err, std::string(kPortUnavailable) +
                          "\n/nonexistent/ttyUSB7: нет устройства\n"
                          "Дальше: zenor9 doctor --port /nonexistent/ttyUSB7 скажет, что мешает "
                          "связи\n");

  // COM2 leads to a missing device in the child's environment.
  const ChildResult json = RunZenor9({"--port", "COM2", "--json", "scan"});
  EXPECT_EQ(json.exitCode, 3);
  const nlohmann::json object = JsonOf(json);
  EXPECT_EQ(object["error"], "port-unavailable");
  EXPECT_EQ(object["port"], "/nonexistent/zenor9-test-com2");
  EXPECT_EQ(object["reason"], "missing");
  EXPECT_EQ(object["detail"], "нет устройства");
}

TEST_F(CliTest, PortHeldByAnotherProcessExits3WithNothingSent) {
  line.AddRegister(7);
  StartLine();
  SerialChannel holder;
  ASSERT_TRUE(OpenChannelDevice(host.DevicePath(), holder));
  line.ClearLog();

  const ChildResult held = Run({"--net", "7", "read"});
  EXPECT_EQ(held.exitCode, 3);
  EXPECT_EQ(held.err, std::string(kPortUnavailable) + "\n" + host.DevicePath() +
                          ": занят другой программой: cli_tests (pid " +
                          std::to_string(::getpid()) +
                          ")\nДальше: zenor9 doctor --port COM1 скажет, что мешает связи\n");
  EXPECT_TRUE(line.Log().empty());

  CloseChannel(holder);
  EXPECT_EQ(Run({"--net", "7", "read"}).exitCode, 0);
}

TEST_F(CliTest, AHolderInAnotherProcessIsNamedWithItsPid) {
  line.AddRegister(7);
  StartLine();
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
  ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(release[1]);  // so that the parent's close ends the wait below
    SerialChannel holder;
    const char opened = OpenChannelDevice(host.DevicePath(), holder) ? 1 : 0;
    (void)!::write(ready[1], &opened, 1);
    char done = 0;
    (void)!::read(release[0], &done, 1);  // until the parent has looked
    _exit(0);
  }
  char opened = 0;
  ASSERT_EQ(::read(ready[0], &opened, 1), 1);
  ASSERT_EQ(opened, 1);

  const ChildResult held = Run({"--json", "--net", "7", "read"});
  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);

  EXPECT_EQ(held.exitCode, 3);
  const nlohmann::json object = JsonOf(held);
  EXPECT_EQ(object["reason"], "busy");
  EXPECT_NE(object.value("detail", "").find("(pid " + std::to_string(child) + ")"),
            std::string::npos)
      << object.dump();
}

// zenor9 sim keeps its pseudo-terminal open as long as it serves it: among the
// holders of a port that another program keeps for itself it is named as the
// virtual register, not as a program that holds the port.
TEST(CliSimTest, TheVirtualRegisterIsNamedAsSuchAmongTheHolders) {
  testing::BackgroundZenor9 sim({"sim", "--net", "7"});
  const std::string device = sim.ReadLine(5000);
  ASSERT_FALSE(device.empty());
  SerialChannel holder;
  ASSERT_TRUE(OpenChannelDevice(device, holder));

  const ChildResult held = RunZenor9({"--port", device, "--net", "7", "read"});
  EXPECT_EQ(held.exitCode, 3);
  EXPECT_NE(held.err.find(device + ": занят другой программой: cli_tests (pid " +
                          std::to_string(::getpid()) +
                          "); это устройство обслуживает виртуальная ККМ zenor9 sim (pid " +
                          std::to_string(sim.Pid()) + ")\n"),
            std::string::npos)
      << held.err;
  CloseChannel(holder);
  EXPECT_EQ(sim.Stop(SIGTERM).exitCode, 0);
}

// Bad arguments, each run as it stands and with --json: a usage error with a
// short message that names what was wrong, on stderr alone or as the one JSON
// object on stdout, and not a byte on the line.
TEST_F(CliTest, BadArgumentsAreUsageErrorsWithAShortMessageAndNothingSent) {
  emu::Register& reg = line.AddRegister(7);
  StartLine();
  const std::string overlong(5000, '7');
  struct Case {
    std::vector<std::string> args;
    std::string named;  // what the message must mention
  };
  const std::vector<Case> cases = {
      {{"--net", "-1", "read"}, "-1"},
      {{"--net=-1", "read"}, "-1"},
      {{"--net", "1000", "read"}, "1000"},
      {{"--net", "abc", "read"}, "abc"},
      {{"--net", "7x", "read"}, "7x"},
      {{"--net", "", "write", "25"}, "--net"},
      {{"--net", "+", "read"}, "+"},
      {{"--net", "99999999999999999999", "write", "25"}, "9999999999"},
      {{"--net", "0x7", "write", "25"}, "0x7"},
      {{"--net", "1e1", "read"}, "1e1"},
      {{"--net", " 7", "read"}, " 7"},
      {{"--net", overlong, "write", "25"}, "7777777777"},
      {{"--net"}, "--net"},
      {{"sim", "--net", "0x10"}, "0x10"},
      {{"--port", "COM0", "read"}, "COM0"},
      {{"--port", "com256", "write", "25"}, "com256"},
      {{"--port", "COM" + overlong, "read"}, "COM7777777"},
      {{"--net", "7", "write", "2"}, "2"},
      {{"--net", "7", "write", ""}, "ЗНАЧЕНИЕ"},
      {{"--net", "7", "write", "off2"}, "off2"},
      {{"--net", "7", "write", overlong}, "7777777777"},
      {{"--net", "7", "write", "25", "26"}, "26"},
      {{"frobnicate"}, "frobnicate"},
      {{overlong}, "7777777777"},
      {{"--frobnicate", "read"}, "--frobnicate"},
      {{"--net", "7", "read", "--frobnicate"}, "--frobnicate"},
      {{"-x", "read"}, "-x"},
      {{"--net", "7", "read", overlong}, "7777777777"},
  };
  constexpr std::size_t kShortMessage = 300;
  for (const Case& c : cases) {
    const std::string name = ::testing::PrintToString(c.args).substr(0, 80);
    const ChildResult text = Run(c.args);
    EXPECT_EQ(text.exitCode, 2) << name << text.err;
    EXPECT_TRUE(text.out.empty()) << name;
    EXPECT_NE(text.err.find(c.named), std::string::npos) << name << text.err;
    EXPECT_LT(text.err.size(), kShortMessage) << name;

    std::vector<std::string> withJson = {"--json"};
    withJson.insert(withJson.end(), c.args.begin(), c.args.end());
    const ChildResult json = Run(withJson);
    EXPECT_EQ(json.exitCode, 2) << name;
    EXPECT_TRUE(json.err.empty()) << name << json.err;
    const nlohmann::json object = JsonOf(json);
    EXPECT_EQ(object.value("error", ""), "usage") << name;
    const std::string message = object.value("message", "");
    EXPECT_NE(message.find(c.named), std::string::npos) << name << message;
    EXPECT_LT(message.size(), kShortMessage) << name;
  }
  EXPECT_TRUE(line.Log().empty());
  EXPECT_EQ(reg.Prefix(), "23");
}

// A net number is read as decimal digits: leading zeros do not make it octal,
// so "--net 010" reaches net number 10, not net number 8.
TEST_F(CliTest, NetNumbersWithLeadingZerosAreDecimal) {
  emu::Register& eight = line.AddRegister(8);
  emu::Register& ten = line.AddRegister(10);
  StartLine();

  const ChildResult written = Run({"--net", "010", "write", "25"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(ten.Prefix(), "25");
  EXPECT_EQ(eight.Prefix(), "23");

  const ChildResult identified = Run({"--json", "--net", "08", "identify"});
  EXPECT_EQ(identified.exitCode, 0) << identified.err;
  EXPECT_EQ(JsonOf(identified)["net"], 8);
}

// Ports that name no serial device: the set-up's own message and exit code 3,
// and whatever the path names is left as it was.
TEST_F(CliTest, PortsThatAreNoSerialDeviceExit3AndAreLeftAlone) {
  line.AddRegister(7);
  StartLine();
  const testing::ScratchFolder scratch;
  const std::filesystem::path& dir = scratch.path;
  const std::string file = (dir / "not-a-tty").string();
  std::ofstream(file) << "keep me";

  const std::vector<std::pair<std::string, std::string>> portsAndReasons = {
      {"LPT1", "missing"},
      {std::string(5000, 'A'), "missing"},
      {dir.string(), "not-serial"},
      {file, "not-serial"},
      {"/dev/null", "not-serial"}};
  for (const auto& [port, reason] : portsAndReasons) {
    const std::string name = port.substr(0, 40);
    const ChildResult text = Run({"--port", port, "--net", "7", "write", "25"});
    EXPECT_EQ(text.exitCode, 3) << name;
    EXPECT_EQ(text.err.rfind(std::string(kPortUnavailable) + "\n", 0), 0u) << name;
    EXPECT_TRUE(text.out.empty()) << name;

    const ChildResult json = Run({"--json", "--port", port, "--net", "7", "write", "25"});
    EXPECT_EQ(json.exitCode, 3) << name;
    const nlohmann::json object = JsonOf(json);
    EXPECT_EQ(object.value("error", ""), "port-unavailable") << name;
    EXPECT_EQ(object.value("port", ""), port) << name;
    EXPECT_EQ(object.value("reason", ""), reason) << name;
  }
  std::ifstream kept(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
  EXPECT_TRUE(line.Log().empty());
}

TEST_F(CliTest, NoRegisterExits1) {
  StartLine();

  const ChildResult fixed = Run({"--net", "7", "--json", "read"});
  EXPECT_EQ(fixed.exitCode, 1);
  const nlohmann::json object = JsonOf(fixed);
  EXPECT_EQ(object["error"], "no-link");
  EXPECT_EQ(object["message"], kNoLink);
  EXPECT_EQ(object["net"], 7);

  line.ClearLog();
  const ChildResult scanned = Run({"--trace", "detect"});
  EXPECT_EQ(scanned.exitCode, 1);
  EXPECT_TRUE(scanned.err.ends_with(
      std::string(kNoLink) + "\nДальше: zenor9 doctor --port COM1 скажет, что мешает связи\n"))
      << scanned.err;
  const testing::TracedSends sent = testing::TracedSendsOf(scanned.err);
  EXPECT_EQ(sent.mark, 100u);  // every probe
  EXPECT_EQ(sent.space, 0u);   // and no identify
}

TEST_F(CliTest, DetectAndScanOnALineWithSeveralRegisters) {
  emu::Register& noisy = line.AddRegister(3);
  line.AddRegister(4);
  line.AddRegister(12, 0x01, 0x04);
  noisy.SetFault(emu::Fault::Silent);
  StartLine();

  const ChildResult detect = Run({"detect"});
  EXPECT_EQ(detect.exitCode, 0) << detect.err;
  EXPECT_EQ(detect.out, "4\n");

  // A stray byte before each echo of net number 3, probed again and again:
  // reported, the scan goes on, and the run fails for it.
  noisy.SetFault(emu::Fault::Silent, false);
  noisy.SetFault(emu::Fault::NoiseByte);
  const ChildResult text = Run({"scan"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_EQ(text.out,
            "ККМ 3: пришёл байт 5A вместо эха FC\nККМ 4: версия 1.0.5\nККМ 12: версия 1.0.4\n");
  EXPECT_EQ(text.err.rfind("не все ответы пришли так, как отвечает ККМ: ККМ 3 (", 0), 0u)
      << text.err;
  const ChildResult json = Run({"--json", "scan"});
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(JsonOf(json)["registers"],
            nlohmann::json::parse(R"([{"net":3,"other":90,"error":"stray-byte"},)"
                                  R"({"net":4,"version":105,"retries":0},)"
                                  R"({"net":12,"version":104,"retries":0}])"));
}

TEST_F(CliTest, ReadCommandFailingAfterASuccessfulSetUpExits1WithItsOwnMessage) {
  emu::Register& reg = line.AddRegister(7);
  // The register stops acknowledging frames once it is addressed a second time,
  // that is right after identify.
  int addressed = 0;
  line.SetObserver([&](const emu::WireByte& byte) {
    if (byte.toRegister && byte.parity == ParityMode::Mark && ++addressed == 2) {
      reg.SetFault(emu::Fault::NoAck);
    }
  });
  StartLine();

  const ChildResult read = Run({"--net", "7", "--json", "read"});
  EXPECT_EQ(read.exitCode, 1);
  const nlohmann::json object = JsonOf(read);
  EXPECT_EQ(object["error"], "command-failed");
  EXPECT_EQ(object["message"], "Не удается установить интерфейс с ККМ");
  EXPECT_EQ(object["version"], 105);
  EXPECT_FALSE(object.contains("prefix"));
  host.Stop();  // before the observer's locals go away
}

TEST_F(CliTest, TraceShowsEveryByteWithItsDirectionAndNinthBit) {
  line.AddRegister(7);
  StartLine();

  const ChildResult traced = Run({"--net", "7", "--trace", "identify"});
  EXPECT_EQ(traced.exitCode, 0);
  EXPECT_EQ(traced.out, "ККМ 7: версия 1.0.5\n");
  for (const char* text : {"ms  -> F8 MARK\n", "ms  -> 01 SPACE\n", "ms  -> 14 SPACE\n",
                           "ms  -> EA SPACE\n", "ms  <- F8\n", "ms  <- EA\n"}) {
    EXPECT_NE(traced.err.find(text), std::string::npos) << text;
  }
  std::size_t sent = 0;
  for (std::size_t at = traced.err.find("->"); at != std::string::npos;
       at = traced.err.find("->", at + 1)) {
    ++sent;
  }
  EXPECT_EQ(sent, line.SentBytes().size());
}

TEST_F(CliTest, PortsShowsTheComMappingWithoutOpeningThePort) {
  line.AddRegister(7);
  StartLine();
  line.ClearLog();

  const ChildResult json = Run({"--json", "ports"});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  const nlohmann::json object = JsonOf(json);
  EXPECT_EQ(object["com"]["COM1"], host.DevicePath());
  EXPECT_EQ(object["com"]["COM4"], "/nonexistent/zenor9-test-com4");
  ASSERT_TRUE(object["ports"].is_array());
  for (const auto& port : object["ports"]) {
    EXPECT_TRUE(port["device"].is_string() && port["driver"].is_string() &&
                port["by-id"].is_array());
  }

  const ChildResult text = Run({"ports"});
  EXPECT_NE(text.out.find("COM1 -> " + host.DevicePath() + "  (ZENOR9_COM1)"), std::string::npos);
  // Two lists, each under its heading.
  EXPECT_EQ(text.out.rfind("Последовательные порты этого компьютера:\n", 0), 0u) << text.out;
  EXPECT_NE(text.out.find("\n\nЧто обозначают COM1 и дальше:\nCOM1 -> "), std::string::npos);
  EXPECT_TRUE(line.Log().empty());
}

// The virtual register as scripts and `make run` use it.
class SimTest : public ::testing::Test {
 protected:
  const testing::ScratchFolder scratch;
  const std::filesystem::path dir = scratch.path;
};

TEST_F(SimTest, ServesItsRegistersUntilSigtermThenRemovesItsLink) {
  const std::string link = (dir / "register").string();
  testing::BackgroundZenor9 sim(
      {"sim", "--net", "5,6", "--prefix", "off,5=27", "--link", link, "--trace"});
  const std::string device = sim.ReadLine(5000);
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
  EXPECT_EQ(std::filesystem::read_symlink(link), device);

  EXPECT_EQ(RunZenor9({"--port", link, "--net", "5,6", "read"}).out, "ККМ 5: 27\nККМ 6: выкл\n");
  const ChildResult write =
      RunZenor9({"--port", "COM3", "--net", "5", "write", "22"}, {{"ZENOR9_COM3", link}});
  EXPECT_EQ(write.exitCode, 0) << write.err;
  const ChildResult scan = RunZenor9({"--port", device, "scan"});
  EXPECT_EQ(scan.exitCode, 0) << scan.err;
  EXPECT_EQ(scan.out, "ККМ 5: версия 1.0.5\nККМ 6: версия 1.0.5\n");

  const ChildResult stopped = sim.Stop(SIGTERM);
  EXPECT_EQ(stopped.exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_NE(stopped.err.find("-> F9 MARK"), std::string::npos);   // net number 6
  EXPECT_NE(stopped.err.find("-> 06 SPACE"), std::string::npos);  // the read command
  EXPECT_NE(stopped.err.find("<- FA"), std::string::npos);        // net number 5's echo
}

TEST_F(SimTest, DefaultsToNetNumberZeroAndTakesAnotherVersion) {
  testing::BackgroundZenor9 sim({"sim", "--version", "0104"});
  const std::string device = sim.ReadLine(5000);
  ASSERT_FALSE(device.empty());

  const ChildResult identify = RunZenor9({"--port", device, "--json", "identify"});
  EXPECT_EQ(identify.exitCode, 4);
  const nlohmann::json object = JsonOf(identify);
  EXPECT_EQ(object["net"], 0);
  EXPECT_EQ(object["version"], 104);

  EXPECT_EQ(sim.Stop(SIGINT).exitCode, 0);
}

TEST_F(SimTest, RefusesToReplaceAFileWithItsLink) {
  const std::filesystem::path file = dir / "precious";
  std::ofstream(file) << "keep me";
  const ChildResult sim = RunZenor9({"sim", "--link", file.string()});
  EXPECT_EQ(sim.exitCode, 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(file)));
}

}  // namespace
}  // namespace zenor9
