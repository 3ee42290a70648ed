// `zenor9 doctor` against `zenor9 sim`, with and without an adapter's latency,
// and against ports that cannot be a register's. Every port is a
// pseudo-terminal or a path that is no device.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <memory>

#include <nlohmann/json.hpp>

#include "link/channel.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::BackgroundZenor9;
using testing::ChildResult;
using testing::RunZenor9;

// The checks of one doctor run by name, from its JSON, in English.
struct Diagnosis {
  int exitCode = -1;
  nlohmann::json object;

  const nlohmann::json& Check(const std::string& name) const {
    for (const nlohmann::json& check : object["checks"]) {
      if (check["name"] == name) return check;
    }
    static const nlohmann::json kMissing = {{"ok", nullptr}, {"detail", "not run"}};
    return kMissing;
  }
  bool Ok(const std::string& name) const { return Check(name)["ok"] == true; }
};

Diagnosis Doctor(std::vector<std::string> args) {
  args.insert(args.begin(), {"doctor", "--json"});
  const ChildResult result = RunZenor9(args, {{"LANG", "en_US.UTF-8"}});
  Diagnosis diagnosis{result.exitCode, nlohmann::json::parse(result.out, nullptr, false)};
  EXPECT_TRUE(diagnosis.object.is_object()) << result.out << result.err;
  EXPECT_TRUE(result.err.empty()) << result.err;
  return diagnosis;
}

double MedianMs(const std::string& detail) {
  const std::size_t at = detail.find("median ");
  return at == std::string::npos ? -1 : std::stod(detail.substr(at + 7));
}

class DoctorTest : public ::testing::Test {
 protected:
  std::string StartSim(const std::vector<std::string>& extra) {
    std::vector<std::string> args{"sim", "--net", "7"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<BackgroundZenor9>(args);
    return sim->ReadLine(5000);
  }
  void TearDown() override {
    if (sim) sim->Stop(SIGTERM);
  }

  std::unique_ptr<BackgroundZenor9> sim;
};

TEST_F(DoctorTest, AFreshLineWithARegisterPassesTheDeviceAndRegisterChecks) {
  const std::string device = StartSim({});
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u);
  const Diagnosis found = Doctor({"--port", device});
  EXPECT_EQ(found.object["port"], device);
  for (const char* name :
       {"device", "permission", "open", "stick parity", "latency", "scan", "register"}) {
    EXPECT_TRUE(found.Ok(name)) << name << ": " << found.Check(name)["detail"];
  }
  EXPECT_NE(found.Check("device")["detail"].get<std::string>().find("pseudo-terminal"),
            std::string::npos);
  EXPECT_EQ(found.Check("scan")["detail"], "found net number 7");
  EXPECT_EQ(found.Check("register")["detail"], "net number 7 answers, version code 105");
  EXPECT_EQ(found.Check("echo")["detail"].get<std::string>().rfind("20 of 20 echoes", 0), 0u);
  // The exit code follows the checks.
  bool allOk = true;
  for (const nlohmann::json& check : found.object["checks"]) allOk = allOk && check["ok"] == true;
  EXPECT_EQ(found.exitCode, allOk ? 0 : 1);
  EXPECT_EQ(found.object["ok"], allOk);
}

TEST_F(DoctorTest, ASlowAdapterEndsTheScanAndIsFlaggedWithTheNetNumber) {
  const std::string device = StartSim({"--latency", "40"});
  const Diagnosis scanned = Doctor({"--port", device});
  EXPECT_EQ(scanned.exitCode, 1);
  EXPECT_FALSE(scanned.Ok("scan"));
  EXPECT_NE(scanned.Check("scan")["detail"].get<std::string>().find("echo of net number 7"),
            std::string::npos)
      << scanned.Check("scan")["detail"];
  EXPECT_NE(scanned.Check("scan")["advice"].get<std::string>().find("--net 7"), std::string::npos);

  const Diagnosis direct = Doctor({"--port", device, "--net", "7"});
  EXPECT_EQ(direct.exitCode, 1);
  EXPECT_TRUE(direct.Ok("register"));
  EXPECT_FALSE(direct.Ok("echo"));
  EXPECT_GE(MedianMs(direct.Check("echo")["detail"]), 35.0) << direct.Check("echo")["detail"];
  EXPECT_NE(direct.Check("echo")["advice"].get<std::string>().find("latency"), std::string::npos);
}

// Two registers: read refuses to pick one, and doctor, judging the line as read
// does, names both rather than checking the first it meets.
TEST_F(DoctorTest, ALineOfTwoRegistersIsJudgedAsReadJudgesIt) {
  const std::string device = StartSim({"--net", "3"});
  const ChildResult read = RunZenor9({"read", "--port", device}, {{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(read.exitCode, 2) << read.err;
  const Diagnosis line = Doctor({"--port", device});
  EXPECT_EQ(line.exitCode, 1);
  EXPECT_FALSE(line.Ok("scan"));
  EXPECT_EQ(line.Check("scan")["detail"].get<std::string>().rfind("net numbers 3, 7 answered", 0),
            0u)
      << line.Check("scan")["detail"];
  EXPECT_EQ(line.Check("register")["ok"], nullptr);  // no register picked for it

  const Diagnosis named = Doctor({"--port", device, "--net", "3", "--retries", "0"});
  EXPECT_EQ(named.exitCode, 0) << named.object.dump();
  EXPECT_EQ(named.Check("register")["detail"], "net number 3 answers, version code 105");
}

TEST_F(DoctorTest, ANetNumberWithoutARegisterIsNamed) {
  const std::string device = StartSim({});
  const Diagnosis empty = Doctor({"--port", device, "--net", "12"});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_FALSE(empty.Ok("register"));
  EXPECT_EQ(empty.Check("register")["detail"], "no answer to identify at net number 12");
}

TEST_F(DoctorTest, PortsThatCannotBeARegistersSayWhy) {
  const Diagnosis missing = Doctor({"--port", "/nonexistent/ttyUSB9"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_FALSE(missing.Ok("device"));
  EXPECT_EQ(missing.object["checks"].size(), 1u);  // nothing more to look at

  const Diagnosis file = Doctor({"--port", "/dev/null"});
  EXPECT_EQ(file.exitCode, 1);
  EXPECT_FALSE(file.Ok("open"));
  EXPECT_EQ(file.Check("open")["detail"], "not a serial device: it is a device, but no terminal");

  // A port another program holds: the holder is named, nothing is sent.
  const std::string device = StartSim({});
  SerialChannel holder;
  ASSERT_TRUE(OpenChannelDevice(device, holder));
  const Diagnosis held = Doctor({"--port", device, "--net", "7"});
  EXPECT_FALSE(held.Ok("open"));
  EXPECT_NE(held.Check("open")["detail"].get<std::string>().find("(pid " +
                                                                 std::to_string(::getpid()) + ")"),
            std::string::npos)
      << held.Check("open")["detail"];
  EXPECT_EQ(held.Check("register")["ok"], nullptr);  // not tried
  CloseChannel(holder);
}

TEST_F(DoctorTest, UsageErrorsExit2) {
  EXPECT_EQ(RunZenor9({"doctor", "--net", "3,4", "--port", "/dev/null"}).exitCode, 2);
  EXPECT_EQ(RunZenor9({"doctor", "--net", "3", "--net", "4", "--port", "/dev/null"}).exitCode, 2);
  EXPECT_EQ(RunZenor9({"doctor", "--all", "--port", "/dev/null"}).exitCode, 2);
  EXPECT_EQ(RunZenor9({"doctor", "--net", "100", "--port", "/dev/null"}).exitCode, 2);
  const ChildResult help = RunZenor9({"doctor", "--help"}, {{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("1  a check failed"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace zenor9
