// The journal of writes: times with their offsets, the locked append with its
// rotation from several processes at once, a journal that cannot be written,
// and the reading that skips damaged lines and filters.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
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
    folder = fs::temp_directory_path() /
             ("zenor9-journal-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    journal = folder / "journal.jsonl";
  }
  void TearDown() override { fs::remove_all(folder); }

  void AddRaw(const std::string& text) const {
    std::ofstream(journal, std::ios::binary | std::ios::app) << text;
  }

  fs::path folder;
  fs::path journal;
};

WriteRecord Record(const std::string& time, const std::string& port, const char* device,
                   std::optional<int> net) {
  WriteRecord record;
  record.time = time;
  record.host = "kassa-3";
  record.user = "ivan";
  record.port = port;
  if (device != nullptr) record.device = device;
  record.net = net;
  record.before = "23";
  record.asked = "27";
  record.readBack = true;
  record.holds = "27";
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
  WriteRecord record = Record("2026-12-07T21:03:05+03:00", "COM1", "/dev/ttyUSB0", 7);
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
    EXPECT_NO_THROW(appended =
                        Append(c.journal,
                               Record("2026-12-07T21:03:05+03:00", "COM1", nullptr, std::nullopt),
                               error, options));
    EXPECT_FALSE(appended) << c.journal;
    EXPECT_NE(error.find(files::PathText(c.journal)), std::string::npos) << error;
  }
  // The held lock was waited for on the virtual clock, then given up.
  EXPECT_GE(clock.NowMs(), kLockWaitMs);
  EXPECT_FALSE(fs::exists(held));
}

TEST_F(JournalTest, DamagedLinesAreSkippedAndReportedAndFiltersPickRecords) {
  // Oldest first: C is rotated into the older file by A's append.
  const WriteRecord c = Record("2026-12-06T10:00:00+03:00", "COM2", "/dev/ttyUSB0", 7);
  WriteRecord a = Record("2026-12-07T22:00:00+03:00", "COM1", "/dev/ttyUSB0", 3);
  a.before.reset();
  a.readBack = false;
  a.holds.reset();
  WriteRecord b = Record("2026-12-07T15:00:00-05:00", "/dev/ttyS4", "/dev/ttyS4", 7);
  b.holds.reset();  // read back, but unreadable
  b.ok = false;
  b.error = "no-link";
  b.stopped = true;
  std::string error;
  ASSERT_TRUE(Append(journal, c, error)) << error;
  AppendOptions rotateNow;
  rotateNow.rotationBytes = JsonLine(c).size() + 2;
  ASSERT_TRUE(Append(journal, a, error, rotateNow)) << error;
  AddRaw("not json at all\n[1,2]\n");
  AddRaw(JsonLine(a).substr(0, 30));  // a run that crashed in the middle of its line
  ASSERT_TRUE(Append(journal, b, error)) << error;
  std::string wrongNet = JsonLine(a);
  wrongNet.replace(wrongNet.find("\"net\":3"), 7, "\"net\":\"3\"");
  AddRaw(wrongNet + "\n");

  const Listing all = ReadJournal(journal, {});
  ASSERT_EQ(all.entries.size(), 3u);
  EXPECT_EQ(all.records, 3);
  EXPECT_EQ(JsonLine(all.entries[0].record), JsonLine(c));
  EXPECT_EQ(JsonLine(all.entries[1].record), JsonLine(a));
  EXPECT_EQ(JsonLine(all.entries[2].record), JsonLine(b));
  EXPECT_FALSE(all.entries[1].json.contains("holds"));  // not read back
  EXPECT_TRUE(all.entries[2].json.at("holds").is_null());
  std::vector<int> damagedLines;
  for (const DamagedLine& damaged : all.damaged) {
    EXPECT_EQ(damaged.file, journal);
    damagedLines.push_back(damaged.line);
  }
  EXPECT_EQ(damagedLines, (std::vector<int>{2, 3, 4, 6}));
  EXPECT_EQ(all.damaged[2].text, JsonLine(a).substr(0, 30));

  struct Case {
    Filter filter;
    std::vector<std::string> times;
  };
  const std::vector<Case> cases = {
      {{{7}, {}, {}}, {c.time, b.time}},
      {{{}, "COM1", {}}, {a.time}},
      {{{}, "/dev/ttyUSB0", {}}, {c.time, a.time}},  // the device a COMn stood for
      // 19:30 UTC: after A (19:00 UTC, 22:00 in Moscow), before B (20:00 UTC).
      {{{}, {}, *ParseSince("2026-12-07T19:30:00Z")}, {b.time}},
      {{{3, 7}, {}, *ParseSince("2026-12-07T00:00:00+03:00")}, {a.time, b.time}},
  };
  for (const Case& each : cases) {
    std::vector<std::string> times;
    for (const Entry& entry : ReadJournal(journal, each.filter).entries) {
      times.push_back(entry.record.time);
    }
    EXPECT_EQ(times, each.times);
  }
}

}  // namespace
}  // namespace zenor9::journal
