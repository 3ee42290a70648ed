// Files that the programs keep for themselves (the COM map, the journal), one
// source file per platform: read whole without waiting on anything, locked
// between this program's runs, and written so that a crash or a power cut
// leaves either the old text or the new one, never half of it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

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
