// The map file on disk, one file per platform: where it lives, how it is read
// whole without waiting on anything, and how it is rewritten under a lock so
// that no reader ever sees it half-written and no rewrite loses another's line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zenor9::portmap {

// The map file of this user: $XDG_CONFIG_HOME/zenor9/ports (else
// ~/.config/zenor9/ports) on POSIX, %APPDATA%\zenor9\ports on Windows. Empty
// when neither the variable nor a home directory is known.
std::filesystem::path MapFilePath();

// The device a map line's path names. On POSIX a relative path is taken under
// /dev (ttyUSB0 is /dev/ttyUSB0), never under whatever folder a run starts in;
// on Windows a bare name (COM12) is a device name already and stays as it is.
std::string MappedDevice(const std::string& path);

// The device that the environment variable ZENOR9_COMn names, in UTF-8 (on
// Windows read as UTF-16, whatever the ANSI code page); empty when it is unset
// or empty.
std::string EnvironmentComDevice(int number);

struct FileText {
  enum class State { Read, Absent, Unreadable };
  State state = State::Absent;
  std::string text;
  std::string error;  // Unreadable: why, in plain words
};

// A regular file of at most `limit` bytes, read whole. A folder, a FIFO, a
// device or a larger file is Unreadable with the reason, and is not read; only
// "no such file" counts as Absent.
FileText ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit);

// An exclusive lock on `lockFile` (created when missing), taken without
// waiting and released when this object goes.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // True once the lock is held. False while another process holds it, or,
  // with Error() saying why (without the file's name), when it cannot be had.
  bool TryLock();
  const std::string& Error() const { return error_; }

 private:
  std::intptr_t handle_;
  std::string error_;
};

// Writes `text` into a new file of a unique name beside `file`, flushes it to
// the disk, gives it the permissions of the `file` it replaces, renames it over
// `file` and flushes the folder. False, with the reason, when any step failed:
// `file` is then as it was and no temporary file is left.
bool ReplaceDurably(const std::filesystem::path& file, const std::string& text, std::string& error);

}  // namespace zenor9::portmap
