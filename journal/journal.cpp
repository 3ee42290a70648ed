#include "journal/journal.h"

#include <algorithm>

#include "files/files.h"
#include "i18n/system_error.h"
#include "i18n/text.h"
#include "journal/journal_file.h"

namespace zenor9::journal {

namespace fs = std::filesystem;
using files::FileLock;
using files::PathText;
using i18n::Tr;

namespace {

// A journal file larger than this is no journal this program wrote (it rotates
// at kRotationBytes): it is refused unread.
constexpr std::uintmax_t kLargestFile = 16 * kRotationBytes;
constexpr std::size_t kDamagedTextBytes = 80;

fs::path LockFileOf(const fs::path& journal) {
  fs::path lockFile = journal;
  lockFile += ".lock";
  return lockFile;
}

bool MakeFolder(const fs::path& journal, std::string& error) {
  if (!journal.has_parent_path()) return true;
  std::error_code code;
  fs::create_directories(journal.parent_path(), code);
  if (!code) return true;
  error = PathText(journal) + ": " + i18n::ErrorCodeText(code);
  return false;
}

// Under the lock: a line that would take the journal over the size moves the
// journal to the older file first.
bool RotateIfFull(const fs::path& journal, std::size_t lineBytes, std::uintmax_t rotationBytes,
                  std::string& error) {
  std::error_code code;
  const std::uintmax_t size = fs::file_size(journal, code);
  if (code || size == 0 || size + lineBytes <= rotationBytes) return true;
  return files::RenameDurably(journal, OlderFile(journal), error);
}

bool Passes(const WriteRecord& record, const Filter& filter) {
  if (!filter.nets.empty() && (!record.net || std::find(filter.nets.begin(), filter.nets.end(),
                                                        *record.net) == filter.nets.end())) {
    return false;
  }
  if (filter.port && record.port != *filter.port && record.device != *filter.port) return false;
  if (filter.changedOnly && !record.changed) return false;
  if (filter.label && record.label != *filter.label) return false;
  return !filter.since || InstantOfIsoTime(record.time).value_or(0) >= *filter.since;
}

void ListLine(const fs::path& file, int number, const std::string& line, const Filter& filter,
              Listing& listing) {
  nlohmann::ordered_json json = nlohmann::ordered_json::parse(line, nullptr, false);
  std::optional<WriteRecord> record;
  if (!json.is_discarded()) record = RecordOfJson(json);
  if (!record) {
    listing.damaged.push_back({file, number, line.substr(0, kDamagedTextBytes)});
    return;
  }
  ++listing.records;
  if (Passes(*record, filter)) listing.entries.push_back({std::move(*record), std::move(json)});
}

void ListFile(const fs::path& file, const Filter& filter, Listing& listing) {
  const files::FileText read = files::ReadWholeFile(file, kLargestFile);
  if (read.state == files::FileText::State::Unreadable) {
    if (!listing.unreadable.empty()) listing.unreadable += "; ";
    listing.unreadable += PathText(file) + ": " + read.error;
    return;
  }
  int number = 0;
  for (std::size_t from = 0; from < read.text.size(); ++number) {
    std::size_t end = read.text.find('\n', from);
    if (end == std::string::npos) end = read.text.size();
    std::string line = read.text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) ListLine(file, number + 1, line, filter, listing);
    from = end + 1;
  }
}

bool Exists(const fs::path& file) {
  std::error_code code;
  return fs::exists(fs::symlink_status(file, code));
}

}  // namespace

Location JournalLocation() {
  fs::path moved = EnvironmentPath("ZENOR9_JOURNAL");
  if (moved.empty()) return {DefaultJournalFile(), true};
  std::error_code code;
  if (fs::is_directory(moved, code)) moved /= "journal.jsonl";
  return {moved, false};
}

fs::path OlderFile(const fs::path& journal) {
  fs::path older = journal;
  older += ".1";
  return older;
}

bool Append(const fs::path& journal, const WriteRecord& record, std::string& error,
            const AppendOptions& options) {
  if (journal.empty()) {
    error = Tr("no home folder to keep the journal in");
    return false;
  }
  if (options.createFolder && !MakeFolder(journal, error)) return false;
  const fs::path lockFile = LockFileOf(journal);
  FileLock lock(lockFile);
  Clock& clock = options.clock != nullptr ? *options.clock : SystemClock::Instance();
  switch (files::WaitForLock(lock, options.lockWaitMs, clock)) {
    case files::LockWait::Held:
      break;
    case files::LockWait::Failed:
      error = PathText(lockFile) + ": " + lock.Error();
      return false;
    case files::LockWait::Busy:
    case files::LockWait::Stopped:  // asked for by nobody here
      error = files::LockHeldText(lockFile, options.lockWaitMs);
      return false;
  }
  const std::string line = JsonLine(record) + "\n";
  return RotateIfFull(journal, line.size(), options.rotationBytes, error) &&
         files::AppendDurably(journal, line, error);
}

bool RecordWrite(WriteRecord record, std::string& error, const TimeSource& now) {
  record.time = IsoTime(now());
  record.host = HostName();
  record.user = UserName();
  record.version = ZENOR9_VERSION;
  const Location location = JournalLocation();
  AppendOptions options;
  options.createFolder = location.createFolder;
  return Append(location.file, record, error, options);
}

Listing ReadJournal(const fs::path& journal, const Filter& filter) {
  Listing listing;
  const fs::path older = OlderFile(journal);
  if (!Exists(journal) && !Exists(older)) return listing;
  // Without the lock (a folder this user may only read) the files are read
  // all the same; a rotation in between could then hide the older lines.
  FileLock lock(LockFileOf(journal));
  files::WaitForLock(lock, kLockWaitMs, SystemClock::Instance());
  for (const fs::path& file : {older, journal}) {
    if (Exists(file)) ListFile(file, filter, listing);
  }
  return listing;
}

}  // namespace zenor9::journal
