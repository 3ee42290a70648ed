// The journal of writes on the command line: what the write paths record
// through RecordWriteInJournal, and `zenor9 journal` listing a journal seeded
// through ZENOR9_JOURNAL, as a technician and a chain's script read it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "cli/write_journal.h"
#include "i18n/text.h"
#include "journal/journal.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;
using testing::RunZenor9;

class JournalCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("zenor9-cli-journal-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    journal = folder / "shop.jsonl";
  }
  void TearDown() override { fs::remove_all(folder); }

  ChildResult Run(const std::vector<std::string>& args, testing::Environment extra = {}) const {
    extra.emplace("ZENOR9_JOURNAL", journal.string());
    extra["TZ"] = "MSK-3";
    return RunZenor9(args, extra);
  }
  static void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  std::string Text() const {
    std::ifstream in(journal, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder;
  fs::path journal;
};

journal::WriteRecord Record(const std::string& time, const std::string& port,
                            const std::string& device, int net) {
  journal::WriteRecord record;
  record.time = time;
  record.host = "kassa-1";
  record.user = "ivan";
  record.port = port;
  record.device = device;
  record.net = net;
  record.before = "23";
  record.asked = "25";
  record.readBack = true;
  record.holds = "25";
  record.ok = true;
  record.version = "1.0.0";
  return record;
}

TEST_F(JournalCommandTest, AWriteIsRecordedWithWhoWhereAndWhenUnlessAskedNot) {
  ::setenv("ZENOR9_JOURNAL", journal.c_str(), 1);
  cli::Invocation invocation;
  invocation.command = "write";
  invocation.port = "COM3";
  invocation.portTarget.device = "/dev/ttyUSB1";
  invocation.writeValue = "27";
  cli::JournalFacts facts;
  facts.net = 7;
  facts.readBack = true;  // the read-back found nothing readable
  facts.error = "verify-mismatch";
  facts.stopped = true;
  const journal::TimeSource moscow = [] { return journal::LocalTime{1796666585, 180}; };

  EXPECT_EQ(cli::RecordWriteInJournal(invocation, facts, moscow), std::nullopt);
  const nlohmann::ordered_json expected = {{"time", "2026-12-07T21:03:05+03:00"},
                                           {"host", journal::HostName()},
                                           {"user", journal::UserName()},
                                           {"port", "COM3"},
                                           {"device", "/dev/ttyUSB1"},
                                           {"net", 7},
                                           {"before", nullptr},
                                           {"asked", "27"},
                                           {"holds", nullptr},
                                           {"ok", false},
                                           {"error", "verify-mismatch"},
                                           {"stopped", true},
                                           {"version", ZENOR9_VERSION}};
  EXPECT_EQ(Text(), expected.dump() + "\n");

  invocation.noJournal = true;
  EXPECT_EQ(cli::RecordWriteInJournal(invocation, facts, moscow), std::nullopt);
  EXPECT_EQ(Text(), expected.dump() + "\n");

  // A journal that cannot be written: the warning names it, in the user's language.
  invocation.noJournal = false;
  const fs::path nowhere = journal / "journal.jsonl";  // under a file
  ::setenv("ZENOR9_JOURNAL", nowhere.c_str(), 1);
  i18n::UseLanguage(i18n::Language::Russian);
  const std::optional<std::string> warning = cli::RecordWriteInJournal(invocation, facts, moscow);
  i18n::UseLanguage(i18n::Language::English);
  ::unsetenv("ZENOR9_JOURNAL");
  ASSERT_TRUE(warning.has_value());
  EXPECT_EQ(warning->rfind("запись не внесена в журнал: " + nowhere.string() + ".lock: ", 0), 0u)
      << *warning;
}

TEST_F(JournalCommandTest, TheJournalIsListedOldestFirstFilteredAndDamagedLinesSaidAndSkipped) {
  // The older file, then the journal with a line a crashed run cut short, and
  // a host name that would clear a terminal.
  nlohmann::ordered_json older =
      journal::RecordJson(Record("2026-12-06T10:00:00+03:00", "COM2", "/dev/ttyUSB0", 7));
  older["shift"] = "night";  // a later version's field, kept in --json
  Write(journal::OlderFile(journal), older.dump() + "\n");
  journal::WriteRecord off = Record("2026-12-07T22:00:00+03:00", "COM1", "/dev/ttyUSB0", 3);
  off.before.reset();
  off.asked = "off";
  off.readBack = false;
  off.holds.reset();
  journal::WriteRecord mismatch =
      Record("2026-12-07T15:00:00-05:00", "/dev/ttyS4", "/dev/ttyS4", 7);
  mismatch.user = "petr";
  mismatch.host = "kassa\x1B[2J";
  mismatch.asked = "27";
  mismatch.holds = "23";
  mismatch.ok = false;
  mismatch.error = "verify-mismatch";
  mismatch.stopped = true;
  Write(journal, journal::JsonLine(off) + "\n{\"time\":\"2026-12-07T2\n" +
                     journal::JsonLine(mismatch) + "\n");

  const ChildResult all = Run({"journal"});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out,
            "2026-12-06T10:00:00+03:00  ivan@kassa-1  COM2 (/dev/ttyUSB0)  net 7  23 -> 25  "
            "в ККМ 25  успешно\n"
            "2026-12-07T22:00:00+03:00  ivan@kassa-1  COM1 (/dev/ttyUSB0)  net 3  ? -> off  "
            "без проверки  успешно\n"
            "2026-12-07T15:00:00-05:00  petr@kassa\\x1B[2J  /dev/ttyS4  net 7  23 -> 27  "
            "в ККМ 23  ошибка: verify-mismatch, остановлено\n");
  EXPECT_EQ(all.err,
            journal.string() + ":2: повреждённая строка пропущена: {\"time\":\"2026-12-07T2\n");

  const ChildResult english = Run({"journal", "--net", "3"}, {{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(english.out,
            "2026-12-07T22:00:00+03:00  ivan@kassa-1  COM1 (/dev/ttyUSB0)  net 3  ? -> off  "
            "not read back  done\n");
  EXPECT_EQ(english.err, journal.string() + ":2: damaged line skipped: {\"time\":\"2026-12-07T2\n");

  // A script's view: the records as kept, through the device a COMn stood for.
  const ChildResult json = Run({"--json", "journal", "--port", "/dev/ttyUSB0"});
  EXPECT_EQ(json.exitCode, 0);
  const nlohmann::ordered_json records = nlohmann::ordered_json::parse(json.out);
  ASSERT_EQ(records.size(), 2u) << json.out;
  EXPECT_EQ(records[0], older);
  EXPECT_EQ(records[1].dump(), journal::JsonLine(off));
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 4) << json.out;  // a record a line

  // 19:30 UTC falls between 22:00 in Moscow (19:00 UTC) and 15:00 at UTC-5
  // (20:00 UTC); a date alone is the local midnight (Moscow's, by TZ).
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"journal", "--since", "2026-12-07T19:30:00Z"},
        std::vector<std::string>{"--net", "7", "journal", "--since", "2026-12-07", "--port",
                                 "/dev/ttyS4"}}) {
    const ChildResult since = Run(args);
    EXPECT_EQ(since.exitCode, 0) << since.err;
    EXPECT_EQ(since.out.rfind("2026-12-07T15:00:00-05:00  petr@", 0), 0u) << since.out;
    EXPECT_EQ(std::count(since.out.begin(), since.out.end(), '\n'), 1) << since.out;
  }
  const ChildResult none = Run({"journal", "--port", "com9"});
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err.find("в журнале " + journal.string() + " нет подходящих записей"),
            std::string::npos)
      << none.err;

  for (const char* wrong : {"2026-02-30", "yesterday", "07.12.2026"}) {
    const ChildResult refused = Run({"journal", "--since", wrong});
    EXPECT_EQ(refused.exitCode, 2) << wrong;
    EXPECT_NE(refused.err.find(
                  std::string("ГГГГ-ММ-ДД, или ГГГГ-ММ-ДДTЧЧ:ММ[:СС] со временем, а не ") + wrong),
              std::string::npos)
        << refused.err;
  }
  EXPECT_EQ(Run({"--all", "journal"}).exitCode, 2);
}

TEST_F(JournalCommandTest, AnEmptyOrUnreadableJournalIsSaidAndWhatCanBeReadIsListed) {
  const ChildResult empty = Run({"--json", "journal"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "[]\n");
  const ChildResult emptyText = Run({"journal"});
  EXPECT_EQ(emptyText.exitCode, 0);
  EXPECT_EQ(emptyText.err, "в журнале " + journal.string() + " нет записей\n");

  // The older file is a folder: the journal's own lines still come.
  fs::create_directories(journal::OlderFile(journal));
  Write(journal,
        journal::JsonLine(Record("2026-12-07T22:00:00+03:00", "COM1", "/dev/ttyS0", 3)) + "\n");
  const ChildResult partial = Run({"journal"});
  EXPECT_EQ(partial.exitCode, 1);
  EXPECT_EQ(partial.out.rfind("2026-12-07T22:00:00+03:00  ivan@kassa-1  COM1", 0), 0u)
      << partial.out;
  EXPECT_EQ(partial.err, "журнал не читается: " + journal.string() + ".1: это папка\n");
}

}  // namespace
}  // namespace zenor9
