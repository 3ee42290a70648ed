// Files that the programs keep for themselves (the COM map, the journal), one
// source file per platform: read whole without waiting on anything, locked
// between this program's runs, and written so that a crash or a power cut
// leaves either the old text or the new one, never half of it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "link/clock.h"

namespace zenor9::files {

// A path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

struct FileText {
  enum class State { Read, Absent, Unreadable };
  State state = State::Absent;
  std::string text;
  std::string error;  // Unreadable: why, in plain words, without the file's name
};

// A regular file of at most `limit` bytes, read whole. A folder, a FIFO, a
// device or a larger file is Unreadable with the reason, and is not read; only
// "no such file" counts as Absent.
FileText ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit);

// An exclusive lock on `lockFile` (created when missing), taken without
// waiting and released when this object goes. Only this program's runs take
// it; it keeps nobody from the file it guards.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // True once the lock is held. False while another process holds it, or,
  // with Error() saying why (without the file's name), when it cannot be had.
  bool TryLock();
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  std::intptr_t handle_;
  std::string error_;
};

// How long a run waits for a lock that another run holds. Runs hold these
// locks for milliseconds; one held longer is a run stopped with Ctrl-Z or a
// hung share, and waiting on would hang every script behind it.
inline constexpr std::uint32_t kLockWaitMs = 5000;

// How a wait for a lock ended.
enum class LockWait { Held, Busy, Stopped, Failed };

// Takes `lock`, looking again every few milliseconds of `clock` while another
// run holds it: Held once it is held; Busy when another run still held it after
// `limitMs`; Stopped as soon as `stopRequested` (when given) says so; Failed
// when it cannot be had at all (lock.Error() says why).
LockWait WaitForLock(FileLock& lock, std::uint32_t limitMs, Clock& clock,
                     const std::function<bool()>& stopRequested = {});

// Why a lock was not had after `limitMs`, naming its file.
std::string LockHeldText(const std::filesystem::path& lockFile, std::uint32_t limitMs);

// Appends `text` to `file` (created when missing) at its end and flushes it to
// the disk; first a line break when the file ends inside a line. Refuses
// anything but a regular file (a FIFO would wait for a reader). False with the
// reason, naming the file.
bool AppendDurably(const std::filesystem::path& file, const std::string& text, std::string& error);

// Renames `from` over `to` and flushes the folder. False with the reason,
// naming the file.
bool RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error);

// Writes `text` into a new file of a unique name beside `file`, flushes it to
// the disk, gives it the permissions of the `file` it replaces, renames it over
// `file` and flushes the folder. False, with the reason naming the file, when
// any step failed: `file` is then as it was and no temporary file is left.
bool ReplaceDurably(const std::filesystem::path& file, const std::string& text, std::string& error);

}  // namespace zenor9::files
