// The journal of prefix writes: one JSON line for each write the command line
// began, appended whole under a lock and flushed to the disk, so that runs on
// several lines at once never mix or lose a line; rotated at a fixed size with
// one older file kept; read back oldest first, with filters.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "files/files.h"
#include "journal/record.h"
#include "link/clock.h"

namespace zenor9::journal {

// A line that would take the journal over this size first renames it to
// journal.jsonl.1, replacing the older one: at most twice this is kept.
inline constexpr std::uintmax_t kRotationBytes = 1024 * 1024;
// How long an append waits while another run appends or lists; a lock held
// longer than this (a stopped run, a hung share) costs the record, never the
// write.
inline constexpr std::uint32_t kLockWaitMs = files::kLockWaitMs;

struct Location {
  std::filesystem::path file;  // empty when no home folder is known
  bool createFolder = false;   // the default place: its folders are made when missing
};

// ZENOR9_JOURNAL when set and not empty (journal.jsonl inside it when it names
// a folder); else $XDG_STATE_HOME/zenor9/journal.jsonl (XDG_STATE_HOME only
// when absolute), else ~/.local/state/zenor9/journal.jsonl on POSIX, and
// %LOCALAPPDATA%\zenor9\journal.jsonl on Windows. A folder that ZENOR9_JOURNAL
// names is never made: a share that is not mounted must not become a local
// folder under its mount point.
Location JournalLocation();

// The file the journal is rotated into: journal.jsonl.1.
std::filesystem::path OlderFile(const std::filesystem::path& journal);

// This computer's name and the user running the program (one file per
// platform); "?" when the system does not say.
std::string HostName();
std::string UserName();

struct AppendOptions {
  std::uintmax_t rotationBytes = kRotationBytes;
  std::uint32_t lockWaitMs = kLockWaitMs;
  bool createFolder = false;
  Clock* clock = nullptr;  // for the lock's wait; the system clock when null
};

// Appends `record` as one line, under the lock journal.jsonl.lock beside it
// (the rotation too), and flushes it to the disk. A file that a crashed run
// left ending inside a line gets a line break first, so that only that line is
// damaged. False, with the reason naming the file that failed, when the record
// could not be written; it never throws.
bool Append(const std::filesystem::path& journal, const WriteRecord& record, std::string& error,
            const AppendOptions& options = {});

// Appends `record` where JournalLocation() says (its folders made when that is
// the default place), with the time from `now`, this computer's name, the user
// and the program's version filled in: how both programs record a write. False,
// with the reason naming the file, when the record could not be written.
bool RecordWrite(WriteRecord record, std::string& error, const TimeSource& now = SystemLocalTime);

struct Filter {
  std::vector<int> nets;              // any of these; empty: every net
  std::optional<std::string> port;    // the port as given, or the device it stood for
  std::optional<std::int64_t> since;  // records of this instant on
  bool changedOnly = false;           // only writes that changed the register
  std::optional<std::string> label;   // only records with this label
};

struct Entry {
  WriteRecord record;
  nlohmann::ordered_json json;  // the line as written, with fields this version does not know
};

struct DamagedLine {
  std::filesystem::path file;
  int line = 0;      // from 1
  std::string text;  // the line's first 80 bytes or so, as they are
};

struct Listing {
  std::vector<Entry> entries;  // as written: the older file's first
  std::vector<DamagedLine> damaged;
  int records = 0;         // before filtering
  std::string unreadable;  // why a file of the journal could not be read, naming it
};

// The records of journal.jsonl.1, then of the journal, that pass `filter`. A
// line that is no record (half written by a crashed run, not JSON) is listed
// in `damaged` and skipped; a file that cannot be read is said in
// `unreadable`, and what could be read is still listed. Takes the lock when it
// can, so that no rotation happens between the two files.
Listing ReadJournal(const std::filesystem::path& journal, const Filter& filter);

}  // namespace zenor9::journal
