// The journal of writes on the command line: the line RecordWriteInJournal
// writes for the write paths, and `zenor9 journal` listing a journal seeded
// through ZENOR9_JOURNAL in the documented format, as a technician and a
// chain's script read it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/write_journal.h"
#include "journal/journal.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;

// Three records as the journal keeps them, oldest first: one from a later
// version (an unknown key), one of the window program (not read back), one
// read back but unreadable whose host would clear a terminal.
const std::string kOlder =
    R"({"time":"2026-12-06T10:00:00+03:00","host":"kassa-1","user":"ivan","port":"COM2","device":"/dev/ttyUSB0","net":7,"before":"23","asked":"25","holds":"25","ok":true,"error":null,"stopped":false,"version":"1.0.0","shift":"night"})";
const std::string kOff =
    R"({"time":"2026-12-07T22:00:00+03:00","host":"kassa-1","user":"ivan","port":"COM1","device":"/dev/ttyUSB0","net":3,"before":null,"asked":"off","ok":true,"error":null,"stopped":false,"version":"1.0.0","program":"zenor9-prefix"})";
const std::string kUnreadable =
    R"({"time":"2026-12-07T15:00:00-05:00","host":"kassa\u001b[2J","user":"petr","port":"/dev/ttyUSB4","device":"/dev/ttyUSB4","net":7,"before":"23","asked":"27","holds":null,"ok":false,"error":"no-link","stopped":true,"version":"1.0.0"})";

class JournalCommandTest : public ::testing::Test {
 protected:
  ChildResult Run(const std::vector<std::string>& args, testing::Environment extra = {}) const {
    extra["ZENOR9_JOURNAL"] = journal.string();
    extra["TZ"] = "MSK-3";
    return testing::RunZenor9(args, extra);
  }
  static void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }

  const testing::ScratchFolder folder;
  const fs::path journal = folder.path / "shop.jsonl";
};

TEST_F(JournalCommandTest, AWriteIsRecordedWithWhoWhereAndWhenUnlessAskedNot) {
  ::setenv("ZENOR9_JOURNAL", journal.c_str(), 1);
  cli::Invocation invocation;
  invocation.port.name = "COM3";
  invocation.port.target.device = "/dev/ttyUSB1";
  invocation.write.value = "27";
  cli::JournalFacts facts;
  facts.net = 7;
  facts.readBack = true;  // the read-back found nothing readable
  facts.error = "verify-mismatch";
  facts.stopped = true;
  facts.written = true;
  facts.changed = true;  // what it holds is unknown
  invocation.label = "магазин 12";
  invocation.note = "INC-4711";
  const journal::TimeSource moscow = [] { return journal::LocalTime{1796666585, 180}; };

  EXPECT_EQ(cli::RecordWriteInJournal(invocation, facts, moscow), std::nullopt);
  invocation.noJournal = true;
  EXPECT_EQ(cli::RecordWriteInJournal(invocation, facts, moscow), std::nullopt);
  ::unsetenv("ZENOR9_JOURNAL");
  std::ifstream in(journal, std::ios::binary);
  EXPECT_EQ(
      std::string(std::istreambuf_iterator<char>(in), {}),
      R"({"time":"2026-12-07T21:03:05+03:00","host":")" + journal::HostName() + R"(","user":")" +
          journal::UserName() +
          R"(","port":"COM3","device":"/dev/ttyUSB1","net":7,"before":null,"asked":"27","holds":null,"ok":false,"error":"verify-mismatch","stopped":true,"version":")" ZENOR9_VERSION
          R"(","program":"zenor9","written":true,"changed":true,"label":"магазин 12","note":"INC-4711"})"
          "\n");
}

// Damaged lines of every kind (not JSON, not an object, cut short by a crash,
// a field of the wrong type) are said with their place and skipped.
TEST_F(JournalCommandTest, TheJournalIsListedOldestFirstFilteredAndDamagedLinesSaidAndSkipped) {
  // No journal yet; then one with a damaged line alone: no records either way.
  const ChildResult empty = Run({"--json", "journal"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "[]\n");
  Write(journal, "[]\n");
  EXPECT_EQ(Run({"journal"}).err, journal.string() + ":1: повреждённая строка пропущена: []\n" +
                                      "в журнале " + journal.string() + " нет записей\n");

  Write(journal::OlderFile(journal), kOlder + "\n");
  std::string wrongNet = kOff;
  wrongNet.replace(wrongNet.find("\"net\":3"), 7, "\"net\":\"3\"");
  Write(journal, kOff + "\nnot json\n[1,2]\n{\"time\":\"2026-12-07T2\n" + kUnreadable + "\n" +
                     wrongNet + "\n");
  const auto said = [&](int line, const std::string& text) {
    return journal.string() + ":" + std::to_string(line) +
           ": повреждённая строка пропущена: " + text + "\n";
  };

  const ChildResult all = Run({"journal"});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out,
            "2026-12-06T10:00:00+03:00  ivan@kassa-1  COM2 (/dev/ttyUSB0)  ККМ 7  23 -> 25  "
            "в ККМ 25  успешно\n"
            "2026-12-07T22:00:00+03:00  ivan@kassa-1 zenor9-prefix  COM1 (/dev/ttyUSB0)  ККМ 3  "
            "? -> выкл  "
            "без проверки  успешно\n"
            "2026-12-07T15:00:00-05:00  petr@kassa\\x1B[2J  /dev/ttyUSB4  ККМ 7  23 -> 27  "
            "в ККМ: не прочитано  ошибка: no-link, остановлено\n");
  EXPECT_EQ(all.err, said(2, "not json") + said(3, "[1,2]") + said(4, "{\"time\":\"2026-12-07T2") +
                         said(6, wrongNet.substr(0, 80)));

  EXPECT_NE(Run({"journal", "--net", "99"}).err.find(" нет подходящих записей\n"),
            std::string::npos);
  const ChildResult english = Run({"journal", "--net", "3"}, {{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(english.out,
            "2026-12-07T22:00:00+03:00  ivan@kassa-1 zenor9-prefix  COM1 (/dev/ttyUSB0)  register "
            "3  ? -> off  "
            "not read back  done\n");
  EXPECT_EQ(english.err.rfind(journal.string() + ":2: damaged line skipped: not json\n", 0), 0u);

  // A script's view: the records as kept, a record a line, through the device
  // a COMn stood for.
  const ChildResult json = Run({"--json", "journal", "--port", "/dev/ttyUSB0"});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.out, "[\n" + kOlder + ",\n" + kOff + "\n]\n");

  // A date alone is the local midnight (Moscow's, by TZ): 21:00 UTC on the 6th,
  // after the older record's 07:00 UTC; --net before the command filters too.
  const ChildResult since = Run({"--net", "7", "journal", "--since", "2026-12-07"});
  EXPECT_EQ(since.exitCode, 0) << since.err;
  EXPECT_EQ(since.out.rfind("2026-12-07T15:00:00-05:00  petr@", 0), 0u) << since.out;
  EXPECT_EQ(std::count(since.out.begin(), since.out.end(), '\n'), 1) << since.out;

  for (const char* wrong : {"2026-02-30", "yesterday", "07.12.2026"}) {
    const ChildResult refused = Run({"journal", "--since", wrong});
    EXPECT_EQ(refused.exitCode, 2) << wrong;
    EXPECT_NE(refused.err.find(std::string("ГГГГ-ММ-ДД, или ГГГГ-ММ-ДДTЧЧ:ММ[:СС] со временем, "
                                           "а не ") +
                               wrong),
              std::string::npos)
        << refused.err;
  }
  EXPECT_EQ(Run({"--all", "journal"}).exitCode, 2);

  // The older file is a folder: the journal's own lines still come.
  fs::remove(journal::OlderFile(journal));
  fs::create_directories(journal::OlderFile(journal));
  const ChildResult partial = Run({"journal", "--port", "COM9"});
  EXPECT_EQ(partial.exitCode, 1);
  EXPECT_NE(partial.err.find("журнал не читается: " + journal.string() + ".1: это папка\n"),
            std::string::npos)
      << partial.err;
  const ChildResult listed = Run({"journal", "--port", "com1"});
  EXPECT_EQ(listed.out.rfind("2026-12-07T22:00:00+03:00  ivan@kassa-1 zenor9-prefix  COM1", 0), 0u)
      << listed.out;
}

}  // namespace
}  // namespace zenor9
