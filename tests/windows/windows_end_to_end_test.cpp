// zenor9.exe, cross-built for Windows, run under Wine against registers on a
// pseudo-terminal that the Wine prefix sees as COM1: each command must end with
// the exit code, output and bytes on the wire (with their ninth bits) of the
// Linux build given the same command and the same registers.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "../cli/remote_line_support.h"
#include "emulator/line.h"
#include "emulator/pty_host.h"
#include "link/net_number.h"
#include "wine.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;
using testing::RunZenor9;
using testing::Wine;

using LineSetUp = std::function<void(emu::Line&)>;

constexpr const char* kPortUnavailable = "Выбранный COM-порт недоступен\n";
constexpr const char* kWindowsCom1 = R"(\\.\COM1)";

// Each byte that crossed a line, as the traces write them: "-> F8 MARK" or
// "-> 01 SPACE" to the registers, "<- F8" from them.
using WireBytes = std::vector<std::string>;

WireBytes WireBytesOf(const std::string& trace) {
  static const std::regex byte("(->|<-) [0-9A-F]{2}( MARK| SPACE)?");
  WireBytes bytes;
  for (std::sregex_iterator match(trace.begin(), trace.end(), byte), end; match != end; ++match) {
    bytes.push_back(match->str());
  }
  return bytes;
}

WireBytes WireBytesOf(const std::vector<emu::WireByte>& log) {
  WireBytes bytes;
  char item[16];
  for (const emu::WireByte& byte : log) {
    if (byte.toRegister) {
      std::snprintf(item, sizeof item, "-> %02X %s", byte.value,
                    byte.parity == ParityMode::Mark ? "MARK" : "SPACE");
    } else {
      std::snprintf(item, sizeof item, "<- %02X", byte.value);
    }
    bytes.push_back(item);
  }
  return bytes;
}

std::string WireText(const WireBytes& bytes) {
  std::string text;
  for (const std::string& byte : bytes) text += byte + "\n";
  return text;
}

// The bytes without those sent that got no answer: the ones since the last
// byte received, up to an address byte or the end. On a pseudo-terminal a byte
// written waits for the kernel to pass it on to the registers, and the purge
// that starts the program's next exchange drops it if it still waits; a UART
// sends it at once. So a busy machine loses some of the probes and frames that
// nothing would have answered, on either build; a byte that was answered, and
// the answer, cannot be lost so.
WireBytes Answered(const WireBytes& bytes) {
  WireBytes kept;
  WireBytes unanswered;
  for (const std::string& byte : bytes) {
    const bool sent = byte.rfind("->", 0) == 0;
    if (sent && byte.ends_with("MARK")) unanswered.clear();
    if (sent) {
      unanswered.push_back(byte);
      continue;
    }
    kept.insert(kept.end(), unanswered.begin(), unanswered.end());
    unanswered.clear();
    kept.push_back(byte);
  }
  return kept;
}

WireBytes SentOnly(const WireBytes& bytes) {
  WireBytes sent;
  std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(sent),
               [](const std::string& byte) { return byte.rfind("->", 0) == 0; });
  return sent;
}

struct WireRun {
  ChildResult result;
  WireBytes wire;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(wine.Missing(), "");
    ASSERT_EQ(wine.UnsafePorts(), "");
  }

  // Runs one build's command against fresh registers built by `setUp` on a
  // pseudo-terminal; `run` gets the device path.
  static WireRun OnLine(const LineSetUp& setUp,
                        const std::function<ChildResult(const std::string&)>& run) {
    emu::Line line;
    setUp(line);
    emu::PtyHost host(line);
    EXPECT_TRUE(host.Start());
    WireRun wireRun{run(host.DevicePath()), {}};
    host.Stop();
    wireRun.wire = WireBytesOf(line.Log());
    return wireRun;
  }

  WireRun OnWindows(const LineSetUp& setUp, const std::vector<std::string>& args) {
    return OnLine(setUp, [&](const std::string& device) {
      EXPECT_TRUE(wine.Point(1, device));
      return wine.Run(args);
    });
  }

  static WireRun OnLinux(const LineSetUp& setUp, const std::vector<std::string>& args) {
    return OnLine(setUp, [&](const std::string& device) {
      WireRun run{RunZenor9(args, {{"ZENOR9_COM1", device}}), {}};
      // The port each build names in JSON: the pty here, \\.\COM1 on Windows.
      run.result.out =
          Replaced(run.result.out, "\"port\":\"" + device + "\"", R"("port":"\\\\.\\COM1")");
      return run.result;
    });
  }

  // The same command on both builds, against the same registers: the same end.
  void ExpectSameAsLinux(const LineSetUp& setUp, const std::vector<std::string>& args,
                         int exitCode) {
    SCOPED_TRACE(::testing::PrintToString(args));
    // Each build on its own registers and pty, at the same time.
    std::future<WireRun> linuxRun =
        std::async(std::launch::async, [&] { return OnLinux(setUp, args); });
    const WireRun windows = OnWindows(setUp, args);
    const WireRun linux = linuxRun.get();
    EXPECT_EQ(windows.result.exitCode, exitCode) << windows.result.err;
    EXPECT_EQ(windows.result.exitCode, linux.result.exitCode);
    EXPECT_EQ(windows.result.out, linux.result.out);
    // Windows has no virtual register: the commands it lists end before sim.
    EXPECT_EQ(windows.result.err, Replaced(linux.result.err, ", journal и sim", " и journal"));
    EXPECT_EQ(Answered(windows.wire), Answered(linux.wire)) << WireText(windows.wire) << "\n"
                                                            << WireText(linux.wire);
  }

  Wine wine;
};

LineSetUp OneRegister(const std::string& prefix, uint8_t versionLow = 0x05) {
  return [prefix, versionLow](emu::Line& line) {
    line.AddRegister(7, 0x01, versionLow).SetPrefix(prefix);
  };
}

TEST_F(WindowsTest, EveryCommandOnOneRegisterEndsAsOnLinux) {
  ExpectSameAsLinux(OneRegister("23"), {"identify"}, 0);
  ExpectSameAsLinux(OneRegister("23"), {"detect"}, 0);
  ExpectSameAsLinux(OneRegister("25"), {"--net", "7", "read"}, 0);
  ExpectSameAsLinux(OneRegister("off"), {"--net", "7", "--json", "read"}, 0);
  ExpectSameAsLinux(OneRegister("23"), {"--net", "7", "write", "27", "--verify"}, 0);
  ExpectSameAsLinux(OneRegister("23"), {"--json", "write", "off", "--verify"}, 0);
}

TEST_F(WindowsTest, FirmwareOtherThan105IsRefusedAsOnLinux) {
  ExpectSameAsLinux(OneRegister("23", 0x04), {"--net", "7", "read"}, 4);
  ExpectSameAsLinux(OneRegister("23", 0x06), {"--json", "identify"}, 4);
}

TEST_F(WindowsTest, ScanOfTwoRegistersAndOfAnEmptyLineAsOnLinux) {
  const LineSetUp two = [](emu::Line& line) {
    line.AddRegister(3);
    line.AddRegister(12, 0x01, 0x04);
  };
  ExpectSameAsLinux(two, {"scan"}, 0);
  ExpectSameAsLinux(two, {"--json", "scan"}, 0);
  ExpectSameAsLinux([](emu::Line&) {}, {"detect"}, 1);
  ExpectSameAsLinux([](emu::Line&) {}, {"--net", "7", "--json", "read"}, 1);
}

TEST_F(WindowsTest, FailedExchangesEndAsOnLinux) {
  ExpectSameAsLinux([](emu::Line& line) { line.AddRegister(7).SetFault(emu::Fault::NoAck); },
                    {"--net", "7", "read"}, 1);
  ExpectSameAsLinux([](emu::Line& line) { line.AddRegister(7).SetFault(emu::Fault::IgnoreWrites); },
                    {"--net", "7", "--json", "write", "21", "--verify"}, 5);
  // The tens cell is written, then the register stops acknowledging: the third
  // address byte (identify, tens cell, units cell) switches the fault on.
  ExpectSameAsLinux(
      [](emu::Line& line) {
        emu::Register& reg = line.AddRegister(7);
        auto addressed = std::make_shared<int>(0);
        line.SetObserver([&reg, addressed](const emu::WireByte& byte) {
          if (byte.toRegister && byte.parity == ParityMode::Mark && ++*addressed == 3) {
            reg.SetFault(emu::Fault::NoAck);
          }
        });
      },
      {"--net", "7", "--json", "write", "26"}, 1);
}

TEST_F(WindowsTest, SeveralRegistersInOneRunEndAsOnLinux) {
  const LineSetUp three = [](emu::Line& line) {
    line.AddRegister(3);
    line.AddRegister(9).SetFault(emu::Fault::NoAck);
    line.AddRegister(12).SetPrefix("off");
  };
  ExpectSameAsLinux(three, {"--net", "12,3,9", "write", "25", "--verify"}, 1);
  ExpectSameAsLinux(three, {"--all", "--json", "read"}, 1);
}

TEST_F(WindowsTest, UsageErrorsSendNothingAsOnLinux) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"write", "35"},
           {"--net", "100", "read"},
           {"--net", "010x", "--json", "read"},
           {"--net", "7", "scan"},
       }) {
    ExpectSameAsLinux(OneRegister("23"), args, 2);
  }
}

TEST_F(WindowsTest, TraceShowsTheBytesTheLinuxBuildSends) {
  const std::vector<std::string> args = {"--net", "7", "--trace", "read"};
  const WireRun windows = OnWindows(OneRegister("24"), args);
  const WireRun linux = OnLinux(OneRegister("24"), args);
  EXPECT_EQ(windows.result.exitCode, 0) << windows.result.err;
  EXPECT_EQ(windows.result.out, "24\n");
  // Only the times and the device differ.
  const std::regex times(" *[0-9]+\\.[0-9]+ ms");  // right-aligned: the width varies
  const auto bytesOf = [&](const std::string& err) {
    return std::regex_replace(err.substr(err.find('\n') + 1), times, "ms");
  };
  EXPECT_EQ(windows.result.err.rfind(std::string("# opened ") + kWindowsCom1 + "\n", 0), 0u)
      << windows.result.err;
  EXPECT_EQ(bytesOf(windows.result.err), bytesOf(linux.result.err));
  EXPECT_NE(windows.result.err.find("-> F8 MARK\n"), std::string::npos);
}

// A line behind ser2net on 127.0.0.1, reached with Winsock through --port and
// through a COM map entry: the registers get the bytes the Linux build sends,
// each with the ninth bit the link meant, and the results are the same.
TEST_F(WindowsTest, ARemoteLineIsReadWrittenAndScannedAsOnLinux) {
  WireBytes arrived[2];
  std::string outputs[2];
  for (int build = 0; build < 2; ++build) {
    SCOPED_TRACE(build == 0 ? "Windows" : "Linux");
    testing::BackgroundZenor9 sim({"sim", "--net", "3,4,12", "--trace"});
    const std::string device = sim.ReadLine(5000);
    testing::Ser2net server(device);
    ASSERT_EQ(server.Problem(), "");
    const std::string address = server.Address();
    WireBytes meant;
    const auto run = [&](const std::vector<std::string>& args) {
      const ChildResult result = build == 0 ? wine.Run(args) : RunZenor9(args);
      EXPECT_EQ(result.exitCode, 0) << result.err;
      const WireBytes traced = WireBytesOf(result.err);
      meant.insert(meant.end(), traced.begin(), traced.end());
      outputs[build] += result.out;
    };
    if (build == 0) {
      ASSERT_EQ(wine.Run({"ports", "--map", "COM7=" + address}).exitCode, 0);
    }
    run({"--trace", "--port", address, "scan"});
    run({"--trace", "--port", build == 0 ? "COM7" : address, "--net", "4", "read"});
    run({"--trace", "--port", address, "--net", "12", "write", "25", "--verify"});
    if (build == 0) {
      EXPECT_EQ(wine.Run({"ports", "--unmap", "COM7"}).exitCode, 0);
    }
    arrived[build] = SentOnly(Answered(WireBytesOf(sim.Stop(SIGTERM).err)));
    EXPECT_EQ(arrived[build], SentOnly(Answered(meant)));
  }
  EXPECT_EQ(arrived[0], arrived[1]);
  EXPECT_EQ(outputs[0], outputs[1]);
  EXPECT_EQ(outputs[0],
            "ККМ 3: версия 1.0.5\nККМ 4: версия 1.0.5\nККМ 12: версия 1.0.5\n23\n25 (было 23; "
            "проверено чтением)\n");
}

// COM10 and up exist only as \\.\COMn: a USB adapter's COM12 reached by name.
// The bytes of a `zenor9 sim --trace` trace, without their times.
std::string TracedBytes(const std::string& trace) {
  static const std::regex time("^ *[0-9]+\\.[0-9]+ ms  ");
  std::istringstream lines(trace);
  std::string bytes;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("->") != std::string::npos || line.find("<-") != std::string::npos) {
      bytes += std::regex_replace(line, time, "") + "\n";
    }
  }
  return bytes;
}

// The virtual register itself, `zenor9 sim`, traces what each build sends: a
// scan of its two registers, then a verified write to the second.
TEST_F(WindowsTest, TheVirtualRegisterTracesTheSameBytesFromBothBuilds) {
  std::string traces[2];
  for (int build = 0; build < 2; ++build) {
    testing::BackgroundZenor9 sim({"sim", "--net", "3,12", "--trace"});
    const std::string device = sim.ReadLine(5000);
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"scan"}, {"--net", "12", "write", "25", "--verify"}}) {
      ChildResult run;
      if (build == 0) {
        ASSERT_TRUE(wine.Point(1, device));
        run = wine.Run(args);
      } else {
        run = RunZenor9(args, {{"ZENOR9_COM1", device}});
      }
      EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    traces[build] = TracedBytes(sim.Stop(SIGTERM).err);
  }
  EXPECT_NE(traces[0].find("-> ED MARK\n<- ED\n"), std::string::npos) << traces[0];  // net 12
  EXPECT_EQ(Answered(WireBytesOf(traces[0])), Answered(WireBytesOf(traces[1]))) << traces[0] << "\n"
                                                                                << traces[1];
}

TEST_F(WindowsTest, AnyComNumberUpTo255IsOpenedAsADeviceName) {
  emu::Line line;
  line.AddRegister(7).SetPrefix("28");
  emu::PtyHost host(line);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(wine.Point(12, host.DevicePath()));

  const ChildResult read = wine.Run({"--port", "com12", "--net", "7", "--json", "read"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  const nlohmann::json object = nlohmann::json::parse(read.out, nullptr, false);
  EXPECT_EQ(object["prefix"], "28");
  EXPECT_EQ(object["port"], R"(\\.\COM12)");

  // The user's COM map, in %APPDATA% of the Wine prefix, makes COM7 stand for it.
  const ChildResult mapped = wine.Run({"ports", "--map", R"(COM7=\\.\COM12)"});
  EXPECT_EQ(mapped.exitCode, 0) << mapped.err;
  const ChildResult viaMap = wine.Run({"--port", "COM7", "--net", "7", "read"});
  EXPECT_EQ(wine.Run({"ports", "--unmap", "COM7"}).exitCode, 0);
  EXPECT_EQ(viaMap.exitCode, 0) << viaMap.err;
  EXPECT_EQ(viaMap.out, "28\n");
  host.Stop();

  for (const char* port : {"COM0", "COM256", "COM012", "COM1000"}) {
    const ChildResult refused = wine.Run({"--port", port, "read"});
    EXPECT_EQ(refused.exitCode, 2) << port;
    EXPECT_NE(refused.err.find("есть только COM1 – COM255"), std::string::npos) << refused.err;
  }
  const ChildResult unused = wine.Run({"--port", "COM255", "--json", "read"});
  EXPECT_EQ(unused.exitCode, 3) << unused.out;
}

// The ports that cannot be a register's: each ends with "port unavailable" and
// the reason the Linux build gives for the same kind of device, and a file is
// left as it was.
TEST_F(WindowsTest, MissingPortsAndPlainFilesAreUnavailableForTheirReasonAndLeftAlone) {
  const fs::path scratch = fs::path(wine.Prefix()) / "drive_c" / "scratch.bin";
  const std::string content = "first byte stays";
  std::ofstream(scratch) << content;
  ASSERT_TRUE(wine.Point(2, scratch.string()));
  ASSERT_TRUE(wine.Point(3, "/nonexistent/zenor9-unplugged"));

  struct Case {
    std::string port;
    std::string reason;
    std::string linuxPort;  // a device of the same kind for the Linux build
  };
  for (const Case& each : std::vector<Case>{
           {R"(C:\scratch.bin)", "not-serial", scratch.string()},
           {"COM2", "not-serial", scratch.string()},  // a COM port mapped to a file
           {"COM3", "missing", "/nonexistent/zenor9-unplugged"},
           {R"(\\.\COM200)", "missing", "/dev/ttyUSB-nonexistent"},
           {R"(C:\nowhere\COM1)", "missing", "/nonexistent/COM1"},
       }) {
    SCOPED_TRACE(each.port);
    const ChildResult json = wine.Run({"--port", each.port, "--json", "--net", "7", "write", "25"});
    EXPECT_EQ(json.exitCode, 3);
    const nlohmann::json object = nlohmann::json::parse(json.out, nullptr, false);
    EXPECT_EQ(object["error"], "port-unavailable") << json.out;
    EXPECT_EQ(object["reason"], each.reason);
    const ChildResult linux = RunZenor9({"--port", each.linuxPort, "--json", "read"});
    EXPECT_EQ(nlohmann::json::parse(linux.out, nullptr, false)["reason"], each.reason);

    const ChildResult text = wine.Run({"--port", each.port, "read"});
    EXPECT_EQ(text.exitCode, 3);
    EXPECT_EQ(text.err.rfind(kPortUnavailable, 0), 0u) << text.err;
    EXPECT_TRUE(text.out.empty());
  }
  std::ifstream in(scratch);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
  fs::remove(scratch);
}

// Cyrillic on the command line arrives whole, whatever Windows' ANSI code
// page (1251 in a Russian Wine): quoted back in a usage message, opened as a
// path (a file here: refused as no serial port, not as missing), and written
// into the COM map, which keeps it in UTF-8 for the next run to open.
TEST_F(WindowsTest, CyrillicArgumentsArriveWholeAsValuesPathsAndMapEntries) {
  const fs::path folder = fs::path(wine.Prefix()) / "drive_c" / "Тест";
  fs::create_directories(folder);
  std::ofstream(folder / "порт") << "a file, no port";
  const std::string path = R"(C:\Тест\порт)";

  const ChildResult value = wine.Run({"--net", "7", "write", "вкл"});
  EXPECT_EQ(value.exitCode, 2);
  EXPECT_NE(value.err.find("а не вкл"), std::string::npos) << value.err;

  const auto openedAs = [&](const std::string& port) {
    const ChildResult run = wine.Run({"--port", port, "--json", "read"});
    EXPECT_EQ(run.exitCode, 3) << port;
    const nlohmann::json object = nlohmann::json::parse(run.out, nullptr, false);
    return object.is_object() ? object.value("reason", "") + " " + object.value("port", "")
                              : run.out;
  };
  EXPECT_EQ(openedAs(path), "not-serial " + path);

  const ChildResult mapped = wine.Run({"ports", "--map", "COM9=" + path});
  EXPECT_EQ(mapped.exitCode, 0) << mapped.err;
  EXPECT_EQ(mapped.out, "COM9 -> " + path + "\n");
  EXPECT_EQ(openedAs("COM9"), "not-serial " + path);  // the port as the map names it
  wine.Run({"ports", "--unmap", "COM9"});
  fs::remove_all(folder);
}

// The bytes a traced run tried to send, in order, with the time of each (ms
// from the run's start); sent or not, as the trace shows every attempt.
std::vector<double> SendTimes(const std::string& trace) {
  static const std::regex sent("([0-9]+\\.[0-9]+) ms  -> ");
  std::vector<double> times;
  for (std::sregex_iterator match(trace.begin(), trace.end(), sent), end; match != end; ++match) {
    times.push_back(std::stod((*match)[1]));
  }
  return times;
}

// A traced scan whose pty disappears after the 33rd probe has reached it.
ChildResult ScanThenVanish(const std::function<ChildResult(const std::string&)>& run) {
  emu::Line line;
  emu::PtyHost host(line);
  EXPECT_TRUE(host.Start());
  std::atomic<bool> done{false};
  std::thread unplug([&] {
    while (!done && line.SentBytes().size() < 33) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host.Vanish();
  });
  ChildResult result = run(host.DevicePath());
  done = true;
  unplug.join();
  host.Stop();
  return result;
}

// The register's pty disappears a third of the way through a scan: the program
// stops at once, as the Linux build does, instead of trying the remaining
// probes. Counted, not timed: the trace shows every probe the program tried to
// send, and a scan that ran on would try about 67 more. The bound leaves room
// for a busy machine to notice the vanishing late.
TEST_F(WindowsTest, AVanishingPortEndsTheScanAtOnce) {
  const ChildResult windows = ScanThenVanish([&](const std::string& device) {
    EXPECT_TRUE(wine.Point(1, device));
    return wine.Run({"--json", "--trace", "scan"});
  });
  const ChildResult linux = ScanThenVanish([](const std::string& device) {
    return RunZenor9({"--port", device, "--json", "--trace", "scan"});
  });
  EXPECT_EQ(windows.exitCode, 1) << windows.out;
  EXPECT_EQ(windows.exitCode, linux.exitCode);
  EXPECT_EQ(nlohmann::json::parse(windows.out)["error"], nlohmann::json::parse(linux.out)["error"]);
  for (const ChildResult* run : {&windows, &linux}) {
    const std::size_t probes = SendTimes(run->err).size();
    EXPECT_GE(probes, 33u) << run->err;
    EXPECT_LT(probes, 67u) << run->err;
  }
}

// The scan of an empty line: a hundred probes, each waiting 10 ms for its echo.
// Counted in probes rather than timed as a whole, so that a busy machine does
// not fail it: the waits count whole milliseconds, so none ends early and most
// probes follow the one before within 14 ms (the 15.6 ms system tick would
// stretch every one of them). The waits sleep instead of spinning: beyond what
// Wine's start-up costs (a run that only prints its help), the scan takes less
// than a tenth of a processor for as long as it lasts, where a spinning wait
// takes whatever share of a processor the machine gives it.
TEST_F(WindowsTest, AnEmptyScanWaitsWholeMillisecondsAndSleepsInThem) {
  emu::Line line;
  emu::PtyHost host(line);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(wine.Point(1, host.DevicePath()));
  const testing::MeasuredRun run = wine.RunMeasured({"--trace", "detect"});
  const testing::MeasuredRun startOnly = wine.RunMeasured({"--help"});
  host.Stop();
  EXPECT_EQ(run.result.exitCode, 1) << run.result.err;

  const std::vector<double> times = SendTimes(run.result.err);
  ASSERT_EQ(times.size(), 100u) << run.result.err;
  EXPECT_EQ(run.result.err.find("not sent"), std::string::npos) << run.result.err;
  // The line got the probes in their order. The trace counts them: on a busy
  // machine the kernel may pass a probe on to the pseudo-terminal's reader only
  // after the next probe's purge has dropped it, which a UART never does.
  std::vector<uint8_t> probes;
  for (uint8_t net = 0; net < 100; ++net) probes.push_back(ProbeCandidate(net));
  const std::vector<uint8_t> wire = line.SentBytes();
  const std::string wireText = WireText(WireBytesOf(line.Log()));
  EXPECT_TRUE(
      std::includes(probes.begin(), probes.end(), wire.begin(), wire.end(), std::greater<>()))
      << wireText;
  EXPECT_EQ(wireText.find("SPACE"), std::string::npos) << wireText;
  EXPECT_GE(wire.size(), 50u) << wireText;
  std::vector<double> gaps;
  for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
  const auto shorterThan = [&](double ms) {
    return std::count_if(gaps.begin(), gaps.end(), [ms](double gap) { return gap < ms; });
  };
  EXPECT_EQ(shorterThan(10), 0);
  EXPECT_GE(shorterThan(14), 50) << "of 99 gaps between probes";
  const double scanMs = times.back() - times.front() + 10;
  const double scanCpuMs = run.cpuMs - startOnly.cpuMs;
  EXPECT_LT(scanCpuMs, 0.1 * scanMs)
      << run.cpuMs << " ms of processor time, " << startOnly.cpuMs << " ms for --help";
  std::sort(gaps.begin(), gaps.end());
  std::printf(
      "empty scan under Wine: median gap %.1f ms, scan %.0f ms, processor %.0f ms beyond "
      "start-up's %.0f ms\n",
      gaps[gaps.size() / 2], scanMs, scanCpuMs, startOnly.cpuMs);
}

TEST_F(WindowsTest, PortsListsTheRegisteredPortsAndOpensNone) {
  emu::Line line;
  emu::PtyHost host(line);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(wine.Point(1, host.DevicePath()));
  line.AddRegister(0);

  const ChildResult json = wine.Run({"--json", "ports"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const nlohmann::json object = nlohmann::json::parse(json.out);
  EXPECT_EQ(object["com"]["COM1"], kWindowsCom1);
  EXPECT_EQ(object["com"]["COM4"], R"(\\.\COM4)");
  std::vector<std::string> names;
  for (const auto& port : object["ports"]) {
    names.push_back(port["name"]);
    EXPECT_EQ(port["device"], R"(\\.\)" + names.back());
    EXPECT_EQ(port["kernel-device"].get<std::string>().rfind(R"(\Device\Serial)", 0), 0u);
  }
  for (const char* name : {"COM1", "COM2", "COM3", "COM4", "COM12"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  EXPECT_LT(std::find(names.begin(), names.end(), "COM4"),
            std::find(names.begin(), names.end(), "COM12"));  // by number, not by text

  const ChildResult text = wine.Run({"ports"});
  EXPECT_NE(text.out.find("COM1 -> " + std::string(kWindowsCom1) + "  (по умолчанию)\n"),
            std::string::npos)
      << text.out;
  host.Stop();
  EXPECT_TRUE(line.Log().empty());
}

// On a console the Russian message must arrive as its characters, not as one
// character per byte of UTF-8 (the C runtime's text mode) or as replacement
// characters (bytes handed over one at a time).
TEST_F(WindowsTest, RussianMessagesReadCorrectlyOnTheConsole) {
  ASSERT_TRUE(wine.Point(3, "/nonexistent/zenor9-unplugged"));
  const std::string shown = wine.RunOnTerminal({"--port", "COM3", "read"});
  EXPECT_NE(shown.find("Выбранный COM-порт недоступен"), std::string::npos) << shown;
  EXPECT_NE(shown.find(R"(\\.\COM3: нет устройства)"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Дальше: zenor9 doctor --port COM3"), std::string::npos) << shown;
}

// The user's UI language decides: Russian Windows (and any but English) gets
// Russian, English Windows English.
TEST_F(WindowsTest, HelpNamesWindowsDevicesInTheUsersLanguageAndSimIsNotAvailable) {
  const ChildResult help = wine.Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find(R"(\\.\COMn)"), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("/dev/tty"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("3  порт недоступен"), std::string::npos) << help.out;
  // What Windows has, and nothing it lacks: no virtual register, no signals.
  EXPECT_NE(help.out.find("130  остановлено по Ctrl-C или Ctrl-Break"), std::string::npos)
      << help.out;
  for (const char* absent :
       {"  sim ", "SIGHUP", "SIGQUIT", "SIGINT", "Ctrl-\\", "псевдотерминал"}) {
    EXPECT_EQ(help.out.find(absent), std::string::npos) << absent;
  }
  EXPECT_NE(wine.Run({"doctor", "--help"}).out.find("(ОК или ОШИБКА,"), std::string::npos);
  const ChildResult unknown = wine.Run({"frobnicate"});
  EXPECT_EQ(unknown.err.find("sim"), std::string::npos) << unknown.err;

  const ChildResult sim = wine.Run({"sim", "--net", "7"});
  EXPECT_EQ(sim.exitCode, 2);
  EXPECT_NE(sim.err.find("в Windows её нет"), std::string::npos) << sim.err;
  EXPECT_TRUE(sim.out.empty());

  wine.UseLocale("en_US.UTF-8");
  const ChildResult english = wine.Run({"--help"});
  EXPECT_NE(english.out.find("3  port unavailable"), std::string::npos) << english.out;
  EXPECT_NE(english.out.find(R"(the Windows serial port \\.\COMn)"), std::string::npos)
      << english.out;
  EXPECT_EQ(english.out.find("порт"), std::string::npos) << english.out;
}

}  // namespace
}  // namespace zenor9
