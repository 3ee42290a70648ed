// What counts as a register's answer to identify on the command line: a reply
// that fails its check sum is reported as that, never as firmware 0.0.0, and an
// identify that a stop request overlapped is no answer at all.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>

#include <nlohmann/json.hpp>

#include "emulator/pty_host.h"
#include "link/net_number.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::BackgroundZenor9;
using testing::ChildResult;
using testing::JsonOf;
using testing::RunZenor9;

constexpr uint8_t kIdentifyCheckByte = 0xEA;

class IdentifyAnswerTest : public ::testing::Test {
 protected:
  void StartLine() { ASSERT_TRUE(host.Start()); }
  testing::Environment Com1() const { return {{"ZENOR9_COM1", host.DevicePath()}}; }
  ChildResult Run(const std::vector<std::string>& args) { return RunZenor9(args, Com1()); }

  // Runs `args` in the background and sends SIGINT when the register
  // acknowledges an identify frame, while its reply is on its way.
  ChildResult InterruptedAtTheIdentifyReply(const std::vector<std::string>& args) {
    std::atomic<pid_t> child{0};
    line.SetObserver([&child](const emu::WireByte& byte) {
      if (!byte.toRegister && byte.value == kIdentifyCheckByte && child.load() > 0) {
        ::kill(child.exchange(0), SIGINT);
      }
    });
    BackgroundZenor9 run(args, Com1());
    child = run.Pid();
    const ChildResult result = run.Stop(0);
    host.Stop();  // before the observer's locals go away
    return result;
  }

  emu::Line line;
  emu::PtyHost host{line};
};

TEST_F(IdentifyAnswerTest, AReplyThatFailsItsCheckSumIsReportedAsSuchNotAsFirmware) {
  line.AddRegister(7).SetFault(emu::Fault::BadReplyCheck);
  StartLine();

  const ChildResult text = Run({"--net", "7", "identify"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(
      text.err.rfind("Нет связи с ККМ (ответ на запрос версии не сошёлся по контрольной сумме", 0),
      0u)
      << text.err;

  const nlohmann::json json = JsonOf(Run({"--json", "--net", "7", "write", "25"}).out);
  EXPECT_EQ(json["error"], "bad-reply");
  EXPECT_EQ(json["net"], 7);
  EXPECT_FALSE(json.contains("version"));
  EXPECT_EQ(line.RegisterAt(0).Prefix(), "23");

  // Tried again, as every identify is, and still no version: the scan lists
  // it and fails.
  const ChildResult scan = Run({"scan"});
  EXPECT_EQ(scan.exitCode, 1);
  EXPECT_EQ(scan.out, "ККМ 7: неверный ответ на запрос версии\n");
  EXPECT_EQ(JsonOf(Run({"--json", "scan"}).out)["registers"],
            nlohmann::json::parse(R"([{"net":7,"version":null,"error":"bad-reply","retries":3}])"));

  const ChildResult doctor = Run({"doctor", "--net", "7"});
  EXPECT_EQ(doctor.exitCode, 1);
  EXPECT_NE(doctor.out.find("✗ ККМ: сетевой номер 7 отвечает, но его ответ на запрос версии не "
                            "сошёлся по контрольной сумме"),
            std::string::npos)
      << doctor.out;
  EXPECT_EQ(doctor.out.find("1.0.5"), std::string::npos) << doctor.out;  // no firmware advice
  // It answered: its echo is still timed.
  EXPECT_NE(doctor.out.find("✓ эхо:"), std::string::npos) << doctor.out;
}

TEST_F(IdentifyAnswerTest, AnIdentifyThatAStopOverlapsIsNoAnswer) {
  line.AddRegister(7);
  StartLine();

  const ChildResult scan = InterruptedAtTheIdentifyReply({"--json", "scan"});
  EXPECT_EQ(scan.exitCode, 130) << scan.err;
  const nlohmann::json object = JsonOf(scan.out);
  EXPECT_EQ(object["registers"], nlohmann::json::array());
  EXPECT_EQ(object["error"], "interrupted");
  EXPECT_FALSE(object.contains("version"));
}

TEST_F(IdentifyAnswerTest, TheDoctorGivesNoFirmwareAdviceForAnIdentifyAStopCutShort) {
  line.AddRegister(7);
  StartLine();

  const ChildResult doctor = InterruptedAtTheIdentifyReply({"--json", "doctor", "--net", "7"});
  EXPECT_EQ(doctor.exitCode, 130) << doctor.out;
  const nlohmann::json object = JsonOf(doctor.out);
  ASSERT_TRUE(object["checks"].is_array());
  const nlohmann::json& last = object["checks"].back();
  EXPECT_EQ(last["name"], "register");
  EXPECT_EQ(last["detail"], "остановлено раньше, чем пришёл ответ на запрос версии");
  EXPECT_EQ(doctor.out.find("1.0.5"), std::string::npos);  // no firmware advice
}

}  // namespace
}  // namespace zenor9
