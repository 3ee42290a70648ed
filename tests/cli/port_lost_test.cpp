// A port that goes away in the middle of a write over several registers: the
// local adapter (the pseudo-terminal's master closed) and the server of a
// remote line (ser2net killed). The register it happened to fails with
// port-lost, never as a silent register would, the rest are not reached and
// untouched, and the journal keeps only the registers a write began on.
#include <gtest/gtest.h>

#include <functional>

#include "emulator/pty_host.h"
#include "line_events.h"
#include "remote_line_support.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::ChildResult;

class PortLostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint8_t net = 1; net <= 4; ++net) line.AddRegister(net);
    ASSERT_TRUE(host.Start());
  }

  // Runs zenor9 while `goAway` ends the port at net 3's first byte.
  ChildResult RunLosingThePort(const std::vector<std::string>& args,
                               const std::function<void()>& goAway) {
    const testing::AtFirstAddressByte atNet3(line, 3, goAway);
    return testing::RunZenor9(args, {{"ZENOR9_JOURNAL", journal.string()}});
  }

  void ExpectNetsThreeAndFourUntouchedAndJournaled() {
    EXPECT_EQ(line.RegisterAt(0).Prefix(), "25");
    EXPECT_EQ(line.RegisterAt(1).Prefix(), "25");
    EXPECT_EQ(line.RegisterAt(2).Prefix(), "23");
    EXPECT_EQ(line.RegisterAt(3).Prefix(), "23");
    const std::vector<nlohmann::json> records = testing::JournalLines(journal);
    ASSERT_EQ(records.size(), 3u);  // net 4 was never begun
    EXPECT_EQ(records[2]["net"], 3);
    EXPECT_EQ(records[2]["error"], "port-lost");
    EXPECT_EQ(records[2]["written"], false);
    EXPECT_EQ(records[2]["changed"], false);
  }

  emu::Line line;
  emu::PtyHost host{line};
  const testing::ScratchFolder folder;
  const std::filesystem::path journal = folder.path / "journal.jsonl";
};

TEST_F(PortLostTest, AnAdapterThatVanishesFailsItsRegisterAndLeavesTheRestNotReached) {
  const ChildResult result =
      RunLosingThePort({"--json", "--port", host.DevicePath(), "--net", "1,2,3,4", "write", "25"},
                       [this] { host.Vanish(); });
  EXPECT_EQ(result.exitCode, 1) << result.err;
  const nlohmann::json object = testing::JsonOf(result.out);
  ASSERT_EQ(object["registers"].size(), 4u) << result.out;
  const nlohmann::json& lost = object["registers"][2];
  EXPECT_EQ(lost["net"], 3);
  EXPECT_EQ(lost["error"], "port-lost");
  EXPECT_EQ(lost["message"],
            "порт " + host.DevicePath() + " пропал: адаптер отключён или устройство закрыто");
  EXPECT_EQ(lost["written"], false);
  EXPECT_EQ(lost.value("retries", -1), 0);  // a lost port is not tried again
  EXPECT_EQ(object["registers"][3]["error"], "not-reached");
  EXPECT_EQ(object["summary"],
            nlohmann::json::parse(R"({"registers":4,"changed":2,"unchanged":0,"failed":2})"));
  ExpectNetsThreeAndFourUntouchedAndJournaled();
}

TEST_F(PortLostTest, ARemoteServerThatGoesAwayFailsItsRegisterAndLeavesTheRestNotReached) {
  const testing::Ser2net server(host.DevicePath());
  ASSERT_EQ(server.Problem(), "");
  const ChildResult result =
      RunLosingThePort({"--port", server.Address(), "--net", "1,2,3,4", "write", "25"},
                       [&server] { server.Kill(); });
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.out,
            "ККМ 1: 25 (было 23; проверено чтением)\n"
            "ККМ 2: 25 (было 23; проверено чтением)\n"
            "ККМ 3: ошибка: связь с " +
                server.Address() +
                " потеряна: сервер закрыл соединение или отказала сеть\n"
                "ККМ 4: не записана: порт потерян\n"
                "всего ККМ: 4; изменено: 2, без изменений: 0, с ошибкой: 2\n");
  EXPECT_EQ(result.err, "Дальше: zenor9 doctor --port " + server.Address() +
                            " --net 3 скажет, что мешает связи\n");
  ExpectNetsThreeAndFourUntouchedAndJournaled();
}

}  // namespace
}  // namespace zenor9
