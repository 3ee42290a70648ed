// zenor9.exe doctor under Wine: the checks Windows has, against a register on
// the pseudo-terminal that the prefix's COM1 leads to, with and without an
// adapter's latency, and against a COM port that leads nowhere.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "emulator/pty_host.h"
#include "wine.h"

namespace zenor9 {
namespace {

using testing::ChildResult;
using testing::Wine;

const nlohmann::json& CheckNamed(const nlohmann::json& object, const std::string& name) {
  for (const nlohmann::json& check : object["checks"]) {
    if (check["name"] == name) return check;
  }
  static const nlohmann::json kMissing = {{"ok", nullptr}, {"detail", "not run"}};
  return kMissing;
}

class DoctorWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(wine.Missing(), "");
    ASSERT_EQ(wine.UnsafePorts(), "");
    wine.UseLocale("en_US.UTF-8");  // doctor in English: GetUserDefaultUILanguage
  }
  nlohmann::json Doctor(const std::vector<std::string>& args, int& exitCode) {
    std::vector<std::string> all{"doctor", "--json"};
    all.insert(all.end(), args.begin(), args.end());
    const ChildResult result = wine.Run(all);
    exitCode = result.exitCode;
    nlohmann::json object = nlohmann::json::parse(result.out, nullptr, false);
    EXPECT_TRUE(object.is_object()) << result.out << result.err;
    return object;
  }

  Wine wine;
};

TEST_F(DoctorWineTest, TheRegisterAndItsEchoAreCheckedThroughTheWindowsPort) {
  for (const uint32_t latencyMs : {0u, 40u}) {
    emu::Line line;
    line.AddRegister(7);
    line.SetAdapterLatency(latencyMs);
    emu::PtyHost host(line);
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(wine.Point(1, host.DevicePath()));

    int exitCode = -1;
    const nlohmann::json object = Doctor({"--port", "COM1", "--net", "7"}, exitCode);
    EXPECT_EQ(object["port"], R"(\\.\COM1)");
    EXPECT_EQ(CheckNamed(object, "open")["ok"], true) << object.dump();
    // Wine reports no parity back for a pseudo-terminal, and the C library
    // reports a repeated MARK on one as an error: neither is a driver that
    // loses stick parity.
    EXPECT_EQ(CheckNamed(object, "stick parity")["ok"], true) << object.dump();
    EXPECT_EQ(CheckNamed(object, "register")["detail"], "net number 7 answers, version code 105");
    EXPECT_EQ(CheckNamed(object, "echo")["ok"], nlohmann::json(latencyMs == 0))
        << latencyMs << " ms: " << CheckNamed(object, "echo")["detail"];
    bool allOk = true;
    for (const nlohmann::json& check : object["checks"]) allOk = allOk && check["ok"] == true;
    EXPECT_EQ(exitCode, allOk ? 0 : 1);
    host.Stop();
  }
}

TEST_F(DoctorWineTest, APortThatLeadsNowhereFailsToOpen) {
  ASSERT_TRUE(wine.Point(3, "/nonexistent/zenor9-unplugged"));
  int exitCode = -1;
  const nlohmann::json object = Doctor({"--port", "COM3"}, exitCode);
  EXPECT_EQ(exitCode, 1);
  EXPECT_EQ(CheckNamed(object, "open")["ok"], false) << object.dump();
  EXPECT_EQ(object["checks"].size(), 1u);
}

}  // namespace
}  // namespace zenor9
