// zenor9 on a remote line: Debian's ser2net on 127.0.0.1 in front of `zenor9
// sim` on a pseudo-terminal. Every byte the program meant to send (its --trace)
// must reach the register as the register's own trace shows it, with the same
// ninth bit: each address byte in MARK, each frame byte in SPACE.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "remote_line_support.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using testing::BackgroundZenor9;
using testing::ChildResult;
using testing::DelayProxy;
using testing::RunZenor9;
using testing::SentWithParity;
using testing::Ser2net;

std::vector<int> NetsOfScan(const ChildResult& scan) {
  std::vector<int> nets;
  const nlohmann::json json = testing::JsonOf(scan.out);
  for (const auto& hit : json["registers"]) nets.push_back(hit["net"]);
  return nets;
}

// Registers at 3, 4 and 12 (a late echo of a probe would show as a ghost at the
// next net number) behind ser2net, with its tcp(nodelay) and with its default
// TCP settings (Nagle's algorithm and delayed acknowledgements: slower, never
// different), and behind a network of 20 ms round trip. Every byte the program
// meant to send must reach the registers in its ninth bit, as the virtual
// register's trace shows them.
TEST(RemoteLineTest, EveryNinthBitArrivesThroughSer2netWhateverItsTcpSettingsAndRoundTrip) {
  BackgroundZenor9 sim({"sim", "--net", "3,4,12", "--trace"});
  const std::string device = sim.ReadLine(5000);
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
  std::vector<std::string> meant;
  // Runs the program with --trace and keeps what it meant to send.
  const auto run = [&meant](std::vector<std::string> args, const testing::Environment& extra = {}) {
    args.insert(args.begin(), "--trace");
    ChildResult result = RunZenor9(args, extra);
    for (const std::string& byte : SentWithParity(result.err)) meant.push_back(byte);
    return result;
  };
  // Read, write and scan as the three ways of naming a port give them: --port,
  // a COM map entry, and ZENOR9_COMn.
  const testing::ScratchFolder config;
  const auto readWriteAndScan = [&](const std::string& address, const std::string& before) {
    fs::create_directories(config.path / "zenor9");
    std::ofstream(config.path / "zenor9" / "ports") << "COM2=" << address << "\n";
    const ChildResult scan = run({"--port", address, "--json", "scan"});
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(NetsOfScan(scan), (std::vector<int>{3, 4, 12})) << scan.out;
    const ChildResult read = run({"--port", "COM2", "--net", "4", "read"},
                                 {{"ZENOR9_COM2", ""}, {"XDG_CONFIG_HOME", config.path.string()}});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "23\n");
    const ChildResult write = run({"--port", "COM3", "write", "25", "--net", "12", "--verify"},
                                  {{"ZENOR9_COM3", address}});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(write.out, "25 (было " + before + "; проверено чтением)\n");
  };
  {
    Ser2net server(device);
    ASSERT_EQ(server.Problem(), "");
    // The doctor first: it traces nothing, so what it sends comes before the rest.
    const ChildResult doctor =
        RunZenor9({"--port", server.Address(), "doctor", "--net", "4"}, {{"LANG", "en_US.UTF-8"}});
    EXPECT_EQ(doctor.exitCode, 0) << doctor.out;
    for (const char* line : {"✓ server: 127.0.0.1:", "✓ telnet: ", "✓ stick parity: ",
                             "✓ round trip: ", "✓ register: net number 4 answers", "✓ echo: "}) {
      EXPECT_NE(doctor.out.find(line), std::string::npos) << line << "\n" << doctor.out;
    }

    // Then a client that sends the frame's SET-PARITY SPACE before the address
    // byte's echo, in the same write: ser2net applies it at once, and the
    // register's trace shows the address in SPACE. WILL BINARY, DO BINARY,
    // WILL COM-PORT-OPTION; then SET-PARITY MARK, the address of net 3,
    // SET-PARITY SPACE and a read frame, all at once.
    const int fd = testing::ConnectLoopback(server.Port());
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> wrong = {0xFF, 0xFB, 0,    0xFF, 0xFD, 0,    0xFF, 0xFB, 44,   0xFF,
                                        0xFA, 44,   3,    4,    0xFF, 0xF0, 0xFC, 0xFF, 0xFA, 44,
                                        3,    5,    0xFF, 0xF0, 4,    6,    0x6F, 0x2E, 1,    0x57};
    ASSERT_EQ(::write(fd, wrong.data(), wrong.size()), static_cast<ssize_t>(wrong.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::close(fd);

    readWriteAndScan(server.Address(), "23");

    // At 20 ms round trip an echo comes back after the 10 ms of a local probe's
    // wait: only the round trip added to every wait keeps the scan to the
    // registers that are there.
    DelayProxy network(server.Port(), 10);
    const ChildResult scan = run({"--port", network.Address(), "--json", "scan"});
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(NetsOfScan(scan), (std::vector<int>{3, 4, 12})) << scan.out;
    const nlohmann::json json = testing::JsonOf(scan.out);
    EXPECT_GE(json["round-trip-ms"], 20);
    EXPECT_EQ(json["probe-wait-ms"], json["round-trip-ms"].get<int>() + 10);
    EXPECT_NE(scan.err.find("# round trip "), std::string::npos) << scan.err;
    const ChildResult write = run({"--port", network.Address(), "--net", "3", "write", "off"});
    EXPECT_EQ(write.exitCode, 0) << write.err;
  }
  {
    Ser2net server(device, false);
    ASSERT_EQ(server.Problem(), "");
    readWriteAndScan(server.Address(), "25");
  }

  // After the doctor's bytes, the wrong client's, its address in SPACE, then
  // every byte as meant.
  std::vector<std::string> expected = {"FC SPACE", "04 SPACE", "06 SPACE", "6F SPACE",
                                       "2E SPACE", "01 SPACE", "57 SPACE"};
  expected.insert(expected.end(), meant.begin(), meant.end());
  const std::vector<std::string> arrived = SentWithParity(sim.Stop(SIGTERM).err);
  ASSERT_GT(arrived.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(arrived.end() - expected.size(), arrived.end()), expected);
  EXPECT_GT(meant.size(), 300u);
}

// Two accepters of one device, as ser2net serves a line to two desks: the
// device stays busy a moment after a client leaves ("Port's device already in
// use"), and a command through the other accepter right after waits for it.
TEST(RemoteLineTest, ACommandRightAfterAnotherThroughASecondAccepterOfTheDeviceSucceeds) {
  BackgroundZenor9 sim({"sim", "--net", "7"});
  const std::string device = sim.ReadLine(5000);
  Ser2net server(device, true, 2);
  ASSERT_EQ(server.Problem(), "");
  for (int round = 0; round < 3; ++round) {
    for (int accepter : {0, 1}) {
      const ChildResult read =
          RunZenor9({"--port", server.Address(accepter), "--net", "7", "read"});
      EXPECT_EQ(read.exitCode, 0) << round << " " << accepter << "\n" << read.err;
    }
  }
}

std::string LoopbackAddress(uint16_t port) {
  return "rfc2217://127.0.0.1:" + std::to_string(port);
}

// Ctrl-C while a connect gets no answer, or while a server that took the
// connection says nothing: a stop (130) at once, for a command and for doctor
// alike, not a server fault (exit 3, or a failed check).
TEST(RemoteLineFailureTest, AStopDuringTheConnectOrTheNegotiationIsAStop) {
  const testing::DeafPort deaf;
  ASSERT_TRUE(deaf.Listening());
  uint16_t silentPort = 0;
  const int silent = testing::ListenLoopback(silentPort);
  ASSERT_GE(silent, 0);
  for (uint16_t port : {deaf.Port(), silentPort}) {
    for (const char* command : {"read", "doctor"}) {
      BackgroundZenor9 run({"--port", LoopbackAddress(port), command}, {{"LANG", "en_US.UTF-8"}});
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const auto stop = std::chrono::steady_clock::now();
      const ChildResult stopped = run.Stop(SIGINT);
      const std::string said = stopped.out + stopped.err;
      EXPECT_EQ(stopped.exitCode, 130) << command << " " << port << "\n" << said;
      EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(1));
      EXPECT_NE(said.find("stopped by SIGINT"), std::string::npos) << said;
    }
  }
  ::close(silent);
}

// A name whose first address drops the connect silently (IPv6 that leads
// nowhere) leaves the next address time of its own: the server at 127.0.0.1
// takes the connection and then resets it, which is no unreachable server.
TEST(RemoteLineFailureTest, AnAddressThatDropsTheConnectLeavesTimeForTheNext) {
  const testing::DeafPort deaf("::1");
  if (!deaf.Listening()) GTEST_SKIP() << "this machine has no IPv6 loopback";
  uint16_t port = deaf.Port();
  const int listener = testing::ListenLoopback(port);
  ASSERT_GE(listener, 0);
  std::thread resetter([listener] {
    pollfd waiting{listener, POLLIN, 0};
    ::poll(&waiting, 1, 10'000);
    // Once the client is in its negotiation, the connection it has not
    // accepted is reset.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::close(listener);
  });
  // The name resolves to both, ::1 first, in a mount namespace of the run's own.
  const testing::ScratchFolder folder;
  const fs::path hosts = folder.path / "hosts";
  std::ofstream(hosts) << "::1 dual.zenor9.test\n127.0.0.1 dual.zenor9.test\n";
  const auto start = std::chrono::steady_clock::now();
  const ChildResult run = testing::RunZenor9Under(
      {"/usr/bin/unshare", "-rm", "/bin/sh", "-c", "mount --bind \"$0\" /etc/hosts && exec \"$@\"",
       hosts.string()},
      {"--port", "rfc2217://dual.zenor9.test:" + std::to_string(port), "--json", "read"});
  const auto took = std::chrono::steady_clock::now() - start;
  resetter.join();
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out, nullptr, false)["reason"], "device-error") << run.out;
  // Half of the 5 s for ::1; all of it would leave 127.0.0.1 none.
  EXPECT_LT(took, std::chrono::seconds(4));
}

TEST(RemoteLineFailureTest, UnreachableSilentAndMalformedAddressesFailAtOnceWithTheirReason) {
  // A port where nothing listens: refused at once, and said so.
  const std::string refused = LoopbackAddress(testing::FreeLoopbackPort());
  const auto start = std::chrono::steady_clock::now();
  const ChildResult nobody = RunZenor9({"--port", refused, "--json", "read"});
  EXPECT_EQ(nobody.exitCode, 3);
  const nlohmann::json json = nlohmann::json::parse(nobody.out);
  EXPECT_EQ(json["reason"], "unreachable");
  EXPECT_EQ(json["message"], "Удалённая линия недоступна");
  EXPECT_EQ(json["detail"], "сервер отказал в соединении");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

  // A port that accepts and never says a word: a few seconds, never a hang.
  uint16_t port = 0;
  const int listener = testing::ListenLoopback(port);
  ASSERT_GE(listener, 0);
  const std::string silent = "rfc2217://127.0.0.1:" + std::to_string(port);
  const auto silentStart = std::chrono::steady_clock::now();
  const ChildResult quiet = RunZenor9({"--port", silent, "--json", "read"});
  ::close(listener);
  EXPECT_EQ(quiet.exitCode, 3);
  EXPECT_EQ(nlohmann::json::parse(quiet.out)["reason"], "no-rfc2217");
  EXPECT_LT(std::chrono::steady_clock::now() - silentStart, std::chrono::seconds(5));

  // A name that does not resolve, in a network namespace of its own with no
  // interface up: the resolver's query cannot leave this machine.
  const ChildResult unknown =
      testing::RunZenor9Under({"/usr/bin/unshare", "-rn"},
                              {"--port", "rfc2217://no-such-host.invalid:4001", "--json", "read"});
  EXPECT_EQ(unknown.exitCode, 3) << unknown.err;
  EXPECT_EQ(nlohmann::json::parse(unknown.out, nullptr, false)["reason"], "unresolved")
      << unknown.out;

  // Malformed: a usage error where the user typed it, the reason from a map.
  EXPECT_EQ(RunZenor9({"--port", "rfc2217://127.0.0.1", "read"}).exitCode, 2);
  EXPECT_EQ(RunZenor9({"ports", "--map", "COM2=rfc2217://host:99999"}).exitCode, 2);
  const ChildResult mapped =
      RunZenor9({"--port", "COM2", "--json", "read"}, {{"ZENOR9_COM2", "rfc2217://host"}});
  EXPECT_EQ(mapped.exitCode, 3);
  EXPECT_EQ(nlohmann::json::parse(mapped.out)["reason"], "bad-address");
}

}  // namespace
}  // namespace zenor9
