// The journal's files on disk, one source file per platform: its default place,
// the lock that appends, rotations and listings take, the append that reaches
// the disk, and the rename that rotates.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zenor9::journal {

// The journal's place by the platform's rule alone; empty when unknown.
std::filesystem::path DefaultJournalFile();
// The environment variable `name` as a path; empty when unset or empty.
std::filesystem::path EnvironmentPath(const char* name);

// An exclusive lock on `lockFile` (created when missing), released when this
// object goes. Only this program's runs take it; it keeps nobody from the file.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock unless another holder has it now: true when held. False
  // with Error() set when the lock file cannot be opened or locked at all.
  bool TryLock();
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  std::filesystem::path file_;
  std::intptr_t handle_;
  std::string error_;
};

// Appends `text` to `file` (created when missing) at its end and flushes it to
// the disk; first a line break when the file ends inside a line. Refuses
// anything but a regular file (a FIFO would wait for a reader). False with the
// reason, naming the file.
bool AppendDurably(const std::filesystem::path& file, const std::string& text, std::string& error);

// Renames `from` over `to` and flushes the folder. False with the reason.
bool RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error);

}  // namespace zenor9::journal
