// A chain's second run: write --check says what a write would change and sends
// no write frame; --if-different writes only the registers that differ, says
// which changed in the JSON, the lines and the summary, and journals only what
// it wrote, with the run's label and note; the journal lists the writes that
// changed something. A list of net numbers is addressed directly, never scanned.
#include <gtest/gtest.h>

#include <atomic>

#include "emulator/pty_host.h"
#include "link/commands.h"
#include "link/net_number.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using nlohmann::json;
using testing::ChildResult;
using testing::JsonOf;

class WriteIfDifferentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line.AddRegister(3).SetPrefix("25");
    line.AddRegister(7).SetPrefix("27");
    line.AddRegister(12).SetPrefix("off");
    emu::Register& twenty = line.AddRegister(20);
    // Net 20 answers identify, then nothing more in that run: its cells cannot be read.
    line.SetObserver([this, &twenty](const emu::WireByte& byte) {
      if (byte.toRegister && byte.parity == ParityMode::Mark &&
          byte.value == twenty.AddressByte()) {
        twenty.SetFault(emu::Fault::Silent, ++addressedTwenty > 1);
      }
    });
    ASSERT_TRUE(host.Start());
  }
  void TearDown() override { host.Stop(); }  // before the observer's captures go away

  ChildResult Run(const std::vector<std::string>& args) {
    line.ClearLog();
    addressedTwenty = 0;
    return testing::RunZenor9(
        args, {{"ZENOR9_COM1", host.DevicePath()}, {"ZENOR9_JOURNAL", journal.string()}});
  }
  json RunJson(const std::vector<std::string>& args, int exitCode = 0) {
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exitCode, exitCode) << result.err;
    return JsonOf(result.out);
  }

  // Write frames sent (an address byte, then the count 5 and the write command)
  // and address bytes of other registers than `nets` (a scan's probes).
  struct Wire {
    int writeFrames = 0;
    int otherAddresses = 0;
  };
  Wire WireOfRun(const std::vector<int>& nets) const {
    std::vector<emu::WireByte> sent;
    for (const emu::WireByte& byte : line.Log()) {
      if (byte.toRegister) sent.push_back(byte);
    }
    Wire wire;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      if (sent[i].parity != ParityMode::Mark) continue;
      bool listed = false;
      for (int net : nets) listed = listed || sent[i].value == AddressByteOfNetNumber(net);
      wire.otherAddresses += listed ? 0 : 1;
      wire.writeFrames +=
          i + 2 < sent.size() && sent[i + 1].value == 5 && sent[i + 2].value == kCommandWriteRam
              ? 1
              : 0;
    }
    return wire;
  }

  emu::Line line;
  emu::PtyHost host{line};
  std::atomic<int> addressedTwenty{0};
  const testing::ScratchFolder folder;
  const std::filesystem::path journal = folder.path / "journal.jsonl";
};

TEST_F(WriteIfDifferentTest, ACheckThenARunThatWritesOnlyWhatDiffersThenOneThatChangesNothing) {
  // --check: reads, says what would change, and writes and journals nothing.
  const json check =
      RunJson({"--json", "--net", "3,7,12,20", "--retries", "0", "write", "25", "--check"}, 1);
  EXPECT_EQ(check["check"], true);
  EXPECT_EQ(check["changed"], true);
  EXPECT_EQ(check["summary"],
            json::parse(R"({"registers":4,"changed":3,"unchanged":1,"failed":1})"));
  EXPECT_EQ(check["registers"][0], json::parse(R"({"net":3,"ok":true,"version":105,"prefix":"25",
      "before":"25","asked":"25","written":false,"changed":false,"retries":0})"));
  EXPECT_EQ(check["registers"][1], json::parse(R"({"net":7,"ok":true,"version":105,"prefix":"27",
      "before":"27","asked":"25","written":false,"changed":true,"retries":0})"));
  // What net 20 holds is unknown: a write would go ahead.
  EXPECT_EQ(check["registers"][3]["error"], "command-failed");
  EXPECT_EQ(check["registers"][3]["before"], nullptr);
  EXPECT_EQ(check["registers"][3]["changed"], true);
  EXPECT_EQ(WireOfRun({3, 7, 12, 20}).writeFrames, 0);
  EXPECT_EQ(WireOfRun({3, 7, 12, 20}).otherAddresses, 0);
  EXPECT_EQ(line.RegisterAt(1).Prefix(), "27");
  EXPECT_FALSE(std::filesystem::exists(journal));

  const ChildResult text = Run({"--net", "12", "write", "25", "--check"});
  EXPECT_EQ(text.out, "выкл -> 25 (будет записано без --check)\n");

  // The real run writes nets 7 and 12 alone and journals them with the label and note.
  const ChildResult written = Run({"--net", "3,7,12", "write", "25", "--if-different", "--label",
                                   "магазин 12", "--note", "INC-4711"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out,
            "ККМ 3: 25 (уже было)\n"
            "ККМ 7: 25 (было 27; проверено чтением)\n"
            "ККМ 12: 25 (было выкл; проверено чтением)\n"
            "всего ККМ: 3; изменено: 2, без изменений: 1, с ошибкой: 0\n");
  EXPECT_EQ(WireOfRun({3, 7, 12}).writeFrames, 4);  // two cells each
  std::vector<json> records = testing::JournalLines(journal);
  ASSERT_EQ(records.size(), 2u);
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i]["net"], i == 0 ? 7 : 12);
    EXPECT_EQ(records[i]["changed"], true);
    EXPECT_EQ(records[i]["label"], "магазин 12");
    EXPECT_EQ(records[i]["note"], "INC-4711");
  }

  // Again: nothing differs, nothing is written or journaled.
  const json again = RunJson({"--json", "--net", "3,7,12", "write", "25", "--if-different"});
  EXPECT_EQ(again["changed"], false);
  EXPECT_EQ(again["summary"],
            json::parse(R"({"registers":3,"changed":0,"unchanged":3,"failed":0})"));
  EXPECT_EQ(WireOfRun({3, 7, 12}).writeFrames, 0);
  EXPECT_EQ(testing::JournalLines(journal).size(), 2u);

  // A plain write rewrites the cells: written, and no change.
  const json rewritten = RunJson({"--json", "--net", "7", "write", "25"});
  EXPECT_EQ(rewritten["written"], true);
  EXPECT_EQ(rewritten["changed"], false);
  EXPECT_EQ(rewritten["summary"],
            json::parse(R"({"registers":1,"changed":0,"unchanged":1,"failed":0})"));
  records = testing::JournalLines(journal);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2]["changed"], false);

  // The journal lists what changed a register, and what a label's runs did.
  const ChildResult changed = Run({"--json", "journal", "--changed-only"});
  EXPECT_EQ(json::parse(changed.out), json::array({records[0], records[1]}));
  EXPECT_EQ(Run({"--json", "journal", "--label", "магазин 12"}).out, changed.out);
  EXPECT_EQ(Run({"journal", "--label", "магазин 1"}).out, "");

  // A read of a list costs no scan either.
  const json read = RunJson({"--json", "--net", "3,7,12", "read"});
  EXPECT_EQ(read["changed"], false);
  EXPECT_EQ(read["summary"],
            json::parse(R"({"registers":3,"changed":0,"unchanged":3,"failed":0})"));
  EXPECT_EQ(WireOfRun({3, 7, 12}).otherAddresses, 0);
}

}  // namespace
}  // namespace zenor9
