// `zenor9 ports --map/--unmap` and COMn through the user's map file, as a user
// with a USB adapter sets it up once: each test has a settings folder of its
// own, and every port it opens is the emulator's pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/port_map_command.h"
#include "emulator/pty_host.h"
#include "files/files.h"
#include "i18n/text.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "portmap/com_map.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;
using testing::RunZenor9;

class PortMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line.AddRegister(7);
    ASSERT_TRUE(host.Start());
  }

  ChildResult Run(const std::vector<std::string>& args, testing::Environment extra = {}) {
    extra["XDG_CONFIG_HOME"] = config.string();
    return RunZenor9(args, extra);
  }
  std::string MapText() const {
    std::ifstream in(mapFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  const testing::ScratchFolder scratch;
  const fs::path config = scratch.path;
  const fs::path mapFile = config / "zenor9" / "ports";
  emu::Line line;
  emu::PtyHost host{line};
};

TEST_F(PortMapTest, AMappedComPortReachesItsDeviceUntilUnmapped) {
  const ChildResult mapped = Run({"ports", "--map", "COM7=" + host.DevicePath()});
  EXPECT_EQ(mapped.exitCode, 0) << mapped.err;
  EXPECT_EQ(mapped.out, "COM7 -> " + host.DevicePath() + "\n");
  EXPECT_TRUE(mapped.err.empty()) << mapped.err;  // a terminal device: no warning
  EXPECT_EQ(MapText(), "COM7=" + host.DevicePath() + "\n");

  const ChildResult read = Run({"--port", "com7", "--net", "7", "read"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, "23\n");

  const ChildResult listed = Run({"--json", "ports"});
  const nlohmann::json object = nlohmann::json::parse(listed.out);
  EXPECT_EQ(object["com"]["COM7"], host.DevicePath());
  EXPECT_EQ(object["sources"]["COM7"], "map file");
  EXPECT_EQ(object["sources"]["COM1"], "environment");  // the tests' own ZENOR9_COM1
  EXPECT_EQ(object["map-file"], mapFile.string());
  EXPECT_EQ(object["map-problems"].size(), 0u);

  const ChildResult unmapped = Run({"ports", "--unmap", "COM7"});
  EXPECT_EQ(unmapped.exitCode, 0) << unmapped.err;
  // Only named, never opened.
  EXPECT_EQ(unmapped.out, "COM7 -> " + DefaultComDevice(7) + "  (по умолчанию)\n");
  EXPECT_EQ(unmapped.err, "");
  EXPECT_EQ(MapText(), "");

  // Nothing left to remove: said, and the file is left as it is.
  const ChildResult again = Run({"--json", "ports", "--unmap", "COM7"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(nlohmann::json::parse(again.out).value("warning", ""),
            "COM7 нет в файле карты " + mapFile.string() + ": ничего не убрано");
  EXPECT_EQ(MapText(), "");
}

TEST_F(PortMapTest, TheEnvironmentStillWinsOverTheMap) {
  ASSERT_EQ(Run({"ports", "--map", "COM2=/nonexistent/adapter"}).exitCode, 0);
  const ChildResult read =
      Run({"--port", "COM2", "--net", "7", "read"}, {{"ZENOR9_COM2", host.DevicePath()}});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  const ChildResult listed = Run({"ports"}, {{"ZENOR9_COM2", host.DevicePath()}});
  EXPECT_NE(listed.out.find("COM2 -> " + host.DevicePath() + "  (ZENOR9_COM2)"), std::string::npos)
      << listed.out;
}

TEST_F(PortMapTest, MappingKeepsTheOtherLinesAndWarnsAboutDevicesThatAreNoPort) {
  fs::create_directories(mapFile.parent_path());
  std::ofstream(mapFile) << "# the shop's adapters\nCOM1=/dev/old\nnonsense here\nCOM5=/dev/c\n";

  const ChildResult missing = Run({"ports", "--map", "COM1=/nonexistent/ttyUSB4"});
  EXPECT_EQ(missing.exitCode, 0);
  EXPECT_EQ(missing.err, "предупреждение: /nonexistent/ttyUSB4 сейчас нет (назначено всё равно)\n");
  const ChildResult notSerial = Run({"--json", "ports", "--map", "COM4=" + config.string()});
  EXPECT_EQ(notSerial.exitCode, 0);
  EXPECT_NE(nlohmann::json::parse(notSerial.out).value("warning", "").find("не последовательный"),
            std::string::npos)
      << notSerial.out;
  EXPECT_EQ(MapText(),
            "# the shop's adapters\nCOM1=/nonexistent/ttyUSB4\nnonsense here\nCOM5=/dev/c\n"
            "COM4=" +
                config.string() + "\n");

  // The line that cannot be read is named with its number; the others count.
  const ChildResult listed = Run({"ports"});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_NE(
      listed.out.find(mapFile.string() + ":3: пропущено: нет COMn=УСТРОЙСТВО в \"nonsense here\""),
      std::string::npos)
      << listed.out;
  EXPECT_NE(listed.out.find("COM5 -> /dev/c  (файл карты)  (нет устройства)"), std::string::npos)
      << listed.out;
}

TEST_F(PortMapTest, BadMapArgumentsAreUsageErrorsAndLeaveTheFileAlone) {
  fs::create_directories(mapFile.parent_path());
  std::ofstream(mapFile) << "COM1=/dev/keep\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"ports", "--map", "COM1"},
        {"ports", "--map", "COM0=/dev/x"},
        {"ports", "--map", "COM1="},
        {"ports", "--map", "COM1=/dev/ttyUSB0 #bench"},  // would read back as a comment
        {"ports", "--map", "LPT1=/dev/x"},
        {"ports", "--unmap", "COM300"},
        {"ports", "--map", "COM1=/dev/x", "--unmap", "COM1"},
        // A name that is not UTF-8 would leave the whole map unreadable.
        {"ports", "--map", "COM1=/dev/caf\xE9"},
        // Quoted cut between characters: its 40th byte is inside one.
        {"ports", "--unmap", "СОМ1портномердевятьилидесять"}}) {
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << args.back() << result.err;
    EXPECT_TRUE(i18n::IsUtf8(result.err)) << result.err;
  }
  EXPECT_EQ(MapText(), "COM1=/dev/keep\n");
}

TEST_F(PortMapTest, AMapThatCannotBeWrittenFailsWithTheReason) {
  fs::create_directories(config);
  std::ofstream(config / "zenor9") << "a file where the folder should be";
  const ChildResult result = Run({"--json", "ports", "--map", "COM1=" + host.DevicePath()});
  EXPECT_EQ(result.exitCode, 1);
  const nlohmann::json object = nlohmann::json::parse(result.out);
  EXPECT_EQ(object["error"], "map-not-written");
}

// Rewrites at the same moment each hold the lock from their read to their
// rename: every one of them is in the file, and no temporary file is left.
TEST_F(PortMapTest, ThirtyMappingsAtOnceAllReachTheFile) {
  constexpr int kRuns = 30;
  std::vector<std::future<ChildResult>> runs;
  for (int n = 10; n < 10 + kRuns; ++n) {
    runs.push_back(std::async(std::launch::async, [this, n] {
      return Run({"ports", "--map", "COM" + std::to_string(n) + "=/dev/pts/" + std::to_string(n)});
    }));
  }
  for (std::future<ChildResult>& run : runs) {
    const ChildResult result = run.get();
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }
  const portmap::ComMap map = portmap::ParseComMap(MapText());
  EXPECT_EQ(map.devices.size(), static_cast<std::size_t>(kRuns)) << MapText();
  EXPECT_TRUE(map.problems.empty());
  for (const fs::directory_entry& entry : fs::directory_iterator(mapFile.parent_path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "ports" || name == "ports.lock") << name;
  }
}

// COM201 has no device of its own on any machine: a fault that sent it to its
// default would be seen as a missing port, never as a real one opened.
TEST_F(PortMapTest, TheMapNeverSendsAComPortToAnotherDevice) {
  fs::create_directories(mapFile.parent_path());
  std::ofstream(mapFile, std::ios::binary) << "# bench\nCOM201 " << host.DevicePath() << "\n";

  // A line without '=' is ignored, and its COM port has no device at all.
  const ChildResult ignored = Run({"--port", "COM201", "--net", "7", "--json", "read"});
  EXPECT_EQ(ignored.exitCode, 3);
  const nlohmann::json object = nlohmann::json::parse(ignored.out);
  EXPECT_EQ(object["error"], "port-unavailable");
  EXPECT_EQ(object["reason"], "map-line-ignored");
  EXPECT_EQ(object["port"], "COM201");
  EXPECT_NE(object.value("detail", "")
                .find("карта COM-портов " + mapFile.string() + ": строка 2 пропущена"),
            std::string::npos)
      << ignored.out;
  EXPECT_EQ(Run({"--port", "COM201", "doctor"}).exitCode, 3);

  // A map that cannot be read gives no COM port a device, and is not rewritten.
  std::ofstream(mapFile, std::ios::binary | std::ios::app) << "COM202=/dev/caf\xE9\n";
  const std::string unreadable = MapText();
  const ChildResult refused = Run({"--port", "COM201", "--net", "7", "read"});
  EXPECT_EQ(refused.exitCode, 3);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "Выбранный COM-порт недоступен\nCOM201: карта COM-портов " +
                             mapFile.string() +
                             " не читается: строка 3 — не текст UTF-8\n"
                             "Дальше: zenor9 ports покажет карту COM-портов и что в ней не так\n");
  const ChildResult mapped = Run({"--json", "ports", "--map", "COM5=/dev/pts/5"});
  EXPECT_EQ(mapped.exitCode, 1);
  EXPECT_EQ(nlohmann::json::parse(mapped.out)["error"], "map-not-written");
  EXPECT_EQ(MapText(), unreadable);
  const ChildResult listed = Run({"--json", "ports"});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(nlohmann::json::parse(listed.out)["map-unreadable"], "строка 3 — не текст UTF-8");
  EXPECT_TRUE(line.Log().empty());  // nothing reached the register
}

// A map that another program left with lines that are not UTF-8 is mended
// line by line: --unmap drops such a line, --map replaces it.
TEST_F(PortMapTest, ABrokenMapIsMendedLineByLine) {
  fs::create_directories(mapFile.parent_path());
  std::ofstream(mapFile, std::ios::binary)
      << "COM5=/dev/keep\nCOM6=/dev/caf\xE9\nCOM7=/dev/\xFF\nCOM8=/dev/keep8\n";
  const ChildResult unmapped = Run({"ports", "--unmap", "COM6"});
  EXPECT_EQ(unmapped.exitCode, 0) << unmapped.err;
  // The next bad line is named: the map is not mended yet.
  EXPECT_NE(unmapped.out.find("строка 2 — не текст UTF-8"), std::string::npos) << unmapped.out;
  const ChildResult replaced = Run({"ports", "--map", "COM7=" + host.DevicePath()});
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_EQ(MapText(), "COM5=/dev/keep\nCOM7=" + host.DevicePath() + "\nCOM8=/dev/keep8\n");
  const ChildResult read = Run({"--port", "COM7", "--net", "7", "read"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, "23\n");
}

// --unmap of a COMn the map does not name says so and leaves every byte, a
// missing final newline included; one that removes keeps the other lines.
// Neither `ports` nor its --map and --unmap send the user to run `ports`.
TEST_F(PortMapTest, UnmappingTouchesOnlyItsOwnLineAndPortsGivesNoNextStep) {
  fs::create_directories(mapFile.parent_path());
  const std::string text = "\xEF\xBB\xBF# bench\r\nCOM1=/dev/keep\r\nCOM2=/dev/two";
  std::ofstream(mapFile, std::ios::binary) << text;
  const ChildResult absent = Run({"ports", "--unmap", "COM3"});
  EXPECT_EQ(absent.exitCode, 0);
  EXPECT_NE(absent.err.find("COM3 нет в файле карты"), std::string::npos) << absent.err;
  EXPECT_EQ(MapText(), text);
  const ChildResult removed = Run({"ports", "--unmap", "COM1"});
  EXPECT_EQ(removed.err, "");
  EXPECT_EQ(MapText(), "\xEF\xBB\xBF# bench\r\nCOM2=/dev/two\n");

  // A map that gives COM1, the default port, no device, as the user's runs meet it.
  std::ofstream(mapFile, std::ios::binary) << "COM1 /dev/ttyUSB0\nCOM2=/dev/caf\xE9\n";
  const testing::Environment user = {{"ZENOR9_COM1", ""}};
  EXPECT_NE(Run({"read"}, user).err.find("Дальше: zenor9 ports"), std::string::npos);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"ports"},
                                               {"ports", "--unmap", "COM2"},
                                               {"ports", "--map", "COM1=/dev/ttyUSB0"}}) {
    const ChildResult run = Run(args, user);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Дальше"), std::string::npos) << run.err;
  }
  EXPECT_EQ(MapText(), "COM1=/dev/ttyUSB0\n");
}

// A map's lock that another run keeps (stopped with Ctrl-Z) costs the change,
// never a hang: the wait ends on its clock, the map as it was.
TEST_F(PortMapTest, ALockHeldTooLongFailsTheRewriteAndLeavesTheMap) {
  fs::create_directories(mapFile.parent_path());
  std::ofstream(mapFile) << "COM1=/dev/keep\n";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const fs::path lockFile = mapFile.string() + ".lock";
  {
    files::FileLock stoppedRun(lockFile);
    ASSERT_TRUE(stoppedRun.TryLock());
    VirtualClock clock(0xFFFFF000u);  // the limit holds across the counter's wrap
    for (const cli::Outcome& outcome :
         {cli::MapComCommand("COM3=/dev/x", clock), cli::UnmapComCommand("COM1", clock)}) {
      EXPECT_EQ(outcome.exitCode, cli::kExitFailed);
      EXPECT_EQ(outcome.error, "map-locked");
      EXPECT_NE(outcome.message.find(lockFile.string() + ": another zenor9 run has held it"),
                std::string::npos)
          << outcome.message;
    }
    EXPECT_GE(clock.NowMs() - 0xFFFFF000u, 2 * files::kLockWaitMs);
    EXPECT_LT(clock.NowMs() - 0xFFFFF000u, 2 * files::kLockWaitMs + 100);
    EXPECT_EQ(MapText(), "COM1=/dev/keep\n");
  }
  VirtualClock clock;
  EXPECT_EQ(cli::MapComCommand("COM3=/dev/x", clock).exitCode, cli::kExitOk);
  EXPECT_EQ(MapText(), "COM1=/dev/keep\nCOM3=/dev/x\n");
  ::unsetenv("XDG_CONFIG_HOME");
}

// Whether process `pid` has `file` open, within `timeoutMs`.
bool OpensWithin(pid_t pid, const fs::path& file, int timeoutMs) {
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    std::error_code error;
    for (fs::directory_iterator fd(fds, error), end; !error && fd != end; fd.increment(error)) {
      std::error_code linkError;
      if (fs::read_symlink(fd->path(), linkError) == file) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Ctrl-C while another program's rewrite holds the map's lock ends the wait:
// the map stays as it was and the run ends as a stop does.
TEST_F(PortMapTest, ACtrlCWhileWaitingForTheMapsLockEndsTheWaitAndWritesNothing) {
  fs::create_directories(mapFile.parent_path());
  std::ofstream(mapFile) << "COM1=/dev/keep\n";
  const fs::path lockFile = mapFile.string() + ".lock";
  const int lock = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  testing::BackgroundZenor9 run({"--json", "ports", "--map", "COM3=/dev/x"},
                                {{"XDG_CONFIG_HOME", config.string()}});
  ASSERT_TRUE(OpensWithin(run.Pid(), lockFile, 10000));  // waiting for the lock
  ::kill(run.Pid(), SIGINT);
  // Its report comes while the lock is still held, or the lock is let go
  // after 5 s so that a run that waits on ends too.
  const std::string report = run.ReadLine(5000);
  ::close(lock);
  EXPECT_EQ(run.Stop(0).exitCode, 130);
  EXPECT_NE(report.find("\"error\":\"interrupted\""), std::string::npos) << report;
  EXPECT_EQ(MapText(), "COM1=/dev/keep\n");
}

}  // namespace
}  // namespace zenor9
