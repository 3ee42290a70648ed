// The journal of writes: times with their offsets, where it is kept, the
// locked append with its rotation from several processes at once, and a
// journal that cannot be written. Its reading and filters are walked through
// `zenor9 journal` (tests/cli/journal_command_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>

#include "files/files.h"
#include "journal/journal.h"
#include "journal/journal_file.h"

namespace zenor9::journal {
namespace {

namespace fs = std::filesystem;

// A fresh folder of the test's own, removed afterwards.
class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  const fs::path folder =
      fs::temp_directory_path() / ("zenor9-journal-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  const fs::path journal = folder / "journal.jsonl";
};

WriteRecord Record() {
  WriteRecord record;
  record.time = "2026-12-07T21:03:05+03:00";
  record.user = "ivan";
  record.port = "COM1";
  record.net = 7;
  record.asked = "27";
  record.ok = true;
  record.version = "1.0.0";
  return record;
}

// Sets an environment variable for one test, or unsets it; restores it after.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A line from before "written" and "changed" were kept is told from its values:
// a write frame went out when it succeeded or its cells were read after it; a
// value before or after that is unknown may have been a change.
TEST(JournalRecordTest, WhatAnEarlierLineChangedIsToldFromItsValues) {
  struct Case {
    const char* fields;
    bool written;
    bool changed;
  };
  for (const Case& line : std::initializer_list<Case>{
           {R"("before":"23","holds":"27","ok":true)", true, true},
           {R"("before":"27","holds":"27","ok":true)", true, false},
           {R"("before":"27","ok":true)", true, false},  // not read back: what was asked
           {R"("before":null,"ok":true)", true, true},
           {R"("before":"23","holds":null,"ok":false)", true, true},
           {R"("before":"23","holds":"23","ok":false)", true, false},
           {R"("before":"23","ok":false)", false, false},  // failed before any write
           {R"("before":"27","ok":true,"written":true,"changed":true)", true, true},  // as kept
       }) {
    const auto record = RecordOfJson(nlohmann::ordered_json::parse(
        std::string(R"({"time":"2026-12-07T21:03:05+03:00","asked":"27",)") + line.fields + "}"));
    ASSERT_TRUE(record) << line.fields;
    EXPECT_EQ(record->written, line.written) << line.fields;
    EXPECT_EQ(record->changed, line.changed) << line.fields;
  }
  WriteRecord labelled = Record();
  labelled.label = "магазин 12";
  labelled.note = "INC-4711";
  const auto again = RecordOfJson(RecordJson(labelled));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->label, labelled.label);
  EXPECT_EQ(again->note, labelled.note);
  EXPECT_EQ(RecordJson(Record()).contains("label"), false);
}

TEST(JournalTimeTest, TimesKeepTheirOffsetAndSinceTakesDatesOrDateTimes) {
  const std::vector<std::pair<LocalTime, std::string>> times = {
      {{1796666585, 180}, "2026-12-07T21:03:05+03:00"},
      {{1796666585, -330}, "2026-12-07T12:33:05-05:30"},
      {{1796666585, -30}, "2026-12-07T17:33:05-00:30"},
      {{946681200, 120}, "2000-01-01T01:00:00+02:00"},
  };
  for (const auto& [time, text] : times) {
    EXPECT_EQ(IsoTime(time), text);
    EXPECT_EQ(InstantOfIsoTime(text), time.unixSeconds) << text;
  }

  // Without an offset, --since is this computer's time: Moscow's here.
  {
    const ScopedVariable zone("TZ", "MSK-3");
    ::tzset();
    const std::vector<std::pair<std::string, std::int64_t>> since = {
        {"2026-12-07", 1796666585 - 21 * 3600 - 185},  // Moscow's midnight: 21:00 UTC
        {"2026-12-07T21:03", 1796666585 - 5},         {"2026-12-07 21:03:05", 1796666585},
        {"2026-12-07T18:03:05Z", 1796666585},         {"2026-12-07T12:33:05-05:30", 1796666585},
    };
    for (const auto& [text, instant] : since) EXPECT_EQ(ParseSince(text), instant) << text;
  }
  ::tzset();
  for (const char* wrong :
       {"yesterday", "2026-02-30", "2026-13-01", "2026-12-7", "2026-12-07T24:00", "2026-12-07T21",
        "2026-12-07Z", "2026-12-07T21:03+3:00", " 2026-12-07", "2026-12-07T21:03:05+03:00 ", ""}) {
    EXPECT_EQ(ParseSince(wrong), std::nullopt) << wrong;
  }
  // A record's time needs its offset: local times of unknown zones do not compare.
  EXPECT_EQ(InstantOfIsoTime("2026-12-07T21:03:05"), std::nullopt);
}

TEST(JournalLocationTest, TheEnvironmentMovesItAndOnlyTheDefaultFolderIsMade) {
  const fs::path existing = fs::temp_directory_path();
  struct Case {
    const char* journal;
    const char* state;
    const char* home;
    fs::path file;
    bool createFolder;
  };
  const std::vector<Case> cases = {
      {nullptr, "/srv/state", "/home/ivan", "/srv/state/zenor9/journal.jsonl", true},
      {nullptr, "relative/state", "/home/ivan", "/home/ivan/.local/state/zenor9/journal.jsonl",
       true},
      {nullptr, nullptr, nullptr, "", true},
      {"/mnt/shop/zenor9.jsonl", "/srv/state", "/home/ivan", "/mnt/shop/zenor9.jsonl", false},
      {existing.c_str(), nullptr, "/home/ivan", existing / "journal.jsonl", false},
  };
  for (const Case& c : cases) {
    const ScopedVariable journal("ZENOR9_JOURNAL", c.journal);
    const ScopedVariable state("XDG_STATE_HOME", c.state);
    const ScopedVariable home("HOME", c.home);
    const Location location = JournalLocation();
    EXPECT_EQ(location.file, c.file) << c.file;
    EXPECT_EQ(location.createFolder, c.createFolder) << c.file;
  }
}

// Each process appends its own numbered records while the size rotates the
// journal about ten times. What is kept (the older file, then the journal)
// must be whole lines, and each process's records a run without a gap that
// ends with its last: a line lost or moved by a rotation racing an append
// leaves a gap.
TEST_F(JournalTest, ConcurrentAppendsFromSeveralProcessesNeverMixOrLoseALineAcrossRotations) {
  constexpr int kProcesses = 4;
  constexpr int kRecordsEach = 100;
  WriteRecord record = Record();
  const std::size_t lineBytes = JsonLine(record).size() + 4;
  AppendOptions options;
  options.rotationBytes = lineBytes * 40;
  std::vector<pid_t> children;
  for (int process = 0; process < kProcesses; ++process) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int failures = 0;
      record.user = "writer-" + std::to_string(process);
      for (int n = 0; n < kRecordsEach; ++n) {
        record.version = std::to_string(n);
        std::string error;
        if (!Append(journal, record, error, options)) ++failures;
      }
      ::_exit(failures);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failed appends: " << status;
  }

  const Listing listing = ReadJournal(journal, {});
  ASSERT_TRUE(listing.damaged.empty()) << listing.damaged.front().text;
  EXPECT_GT(listing.entries.size(), 40u);  // the older file is kept whole
  std::map<std::string, int> last;         // each writer's number before
  for (const Entry& entry : listing.entries) {
    const int number = std::stoi(entry.record.version);
    const auto before = last.find(entry.record.user);
    if (before != last.end()) {
      EXPECT_EQ(number, before->second + 1) << entry.record.user;
    }
    last[entry.record.user] = number;
  }
  for (const auto& [writer, number] : last) EXPECT_EQ(number, kRecordsEach - 1) << writer;
  EXPECT_LE(fs::file_size(OlderFile(journal)), options.rotationBytes);
  EXPECT_LE(fs::file_size(journal), options.rotationBytes);
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenGivesFalseWithAReasonThatNamesIt) {
  const fs::path file = folder / "a-file";
  std::ofstream(file) << "not a folder\n";
  const fs::path fifo = folder / "fifo.jsonl";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path subfolder = folder / "a-folder";
  fs::create_directories(subfolder);
  const fs::path held = folder / "held.jsonl";
  files::FileLock otherRun(folder / "held.jsonl.lock");
  ASSERT_TRUE(otherRun.TryLock());
  VirtualClock clock;

  struct Case {
    fs::path journal;
    bool createFolder;
  };
  for (const Case& c : std::vector<Case>{{file / "journal.jsonl", false},
                                         {file / "zenor9" / "journal.jsonl", true},
                                         {fifo, false},
                                         {subfolder, false},
                                         {held, false}}) {
    AppendOptions options;
    options.createFolder = c.createFolder;
    options.clock = &clock;
    std::string error;
    bool appended = true;
    EXPECT_NO_THROW(appended = Append(c.journal, Record(), error, options));
    EXPECT_FALSE(appended) << c.journal;
    EXPECT_NE(error.find(files::PathText(c.journal)), std::string::npos) << error;
  }
  // The held lock was waited for on the virtual clock, then given up.
  EXPECT_GE(clock.NowMs(), kLockWaitMs);
  EXPECT_FALSE(fs::exists(held));
}

}  // namespace
}  // namespace zenor9::journal
