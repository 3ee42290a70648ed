// POSIX: files are looked at before they are opened and opened without waiting
// (a FIFO) or becoming a terminal's; locks are flock's, and fsync takes each
// write, and the folder each new name, to the disk.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/files.h"
#include "i18n/system_error.h"
#include "i18n/text.h"

namespace zenor9::files {

namespace fs = std::filesystem;

namespace {

// Opened without waiting (a FIFO), without becoming a terminal's, and closed
// in programs this one starts.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

std::string Failure(const fs::path& file) {
  return PathText(file) + ": " + i18n::ErrnoText(errno);
}

FileText Unreadable(std::string why) {
  return {FileText::State::Unreadable, {}, std::move(why)};
}

std::string TooLarge(std::uintmax_t limit) {
  return i18n::Tr("it is larger than %s KiB", limit / 1024);
}

// Why a file of this kind and size is not read; empty when it may be.
std::string RefusalOf(const struct stat& info, std::uintmax_t limit) {
  if (S_ISDIR(info.st_mode)) return i18n::Tr("it is a folder");
  if (!S_ISREG(info.st_mode)) return i18n::Tr("it is not a regular file");
  if (static_cast<std::uintmax_t>(info.st_size) > limit) return TooLarge(limit);
  return {};
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now, for the close's own error (a write that reaches the disk late).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool EndsInsideALine(int fd, off_t size) {
  char last = '\n';
  return size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

// A new file beside `file` whose name no other process uses: the process id
// and a count, created exclusively. Mode 0666 less the umask, as any new file.
int CreateTemporary(const fs::path& file, fs::path& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = file;
    temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// A new name is on the disk only once the folder that holds it is. A file
// system that cannot flush a folder leaves the name to its own next flush.
void SyncFolder(const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0) ::fsync(fd.Get());
}

}  // namespace

FileText ReadWholeFile(const fs::path& file, std::uintmax_t limit) {
  // Looked at before it is opened: opening a FIFO or a device may wait or act.
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return Unreadable(i18n::ErrnoText(errno));
  }
  if (std::string refusal = RefusalOf(info, limit); !refusal.empty()) return Unreadable(refusal);
  Descriptor fd(::open(file.c_str(), O_RDONLY | kOpenFlags));
  if (fd.Get() < 0) return Unreadable(i18n::ErrnoText(errno));
  // The name may lead elsewhere by now.
  if (::fstat(fd.Get(), &info) != 0) return Unreadable(i18n::ErrnoText(errno));
  if (std::string refusal = RefusalOf(info, limit); !refusal.empty()) return Unreadable(refusal);
  FileText read{FileText::State::Read, {}, {}};
  char buffer[4096];
  while (read.text.size() <= limit) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Unreadable(i18n::ErrnoText(errno));
    if (n == 0) return read;
    read.text.append(buffer, static_cast<std::size_t>(n));
  }
  return Unreadable(TooLarge(limit));  // it grew while it was read
}

FileLock::FileLock(const fs::path& lockFile)
    : handle_(::open(lockFile.c_str(), O_RDWR | O_CREAT | kOpenFlags, 0666)) {
  // Another user's lock file in a shared folder: flock needs no write access.
  if (handle_ < 0 && errno == EACCES) handle_ = ::open(lockFile.c_str(), O_RDONLY | kOpenFlags);
  if (handle_ < 0) error_ = i18n::ErrnoText(errno);
}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
}

bool FileLock::TryLock() {
  if (handle_ < 0) return false;
  while (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) error_ = i18n::ErrnoText(errno);
    return false;
  }
  return true;
}

bool AppendDurably(const fs::path& file, const std::string& text, std::string& error) {
  Descriptor fd(::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | kOpenFlags, 0666));
  struct stat info {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0) {
    error = Failure(file);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = PathText(file) + ": " + i18n::Tr("it is not a regular file");
    return false;
  }
  const std::string whole = EndsInsideALine(fd.Get(), info.st_size) ? "\n" + text : text;
  if (!WriteAll(fd.Get(), whole) || ::fsync(fd.Get()) != 0 || !fd.Close()) {
    error = Failure(file);
    return false;
  }
  if (info.st_size == 0) SyncFolder(file);
  return true;
}

bool RenameDurably(const fs::path& from, const fs::path& to, std::string& error) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    error = Failure(from);
    return false;
  }
  SyncFolder(to);
  return true;
}

bool ReplaceDurably(const fs::path& file, const std::string& text, std::string& error) {
  fs::path temporary;
  Descriptor fd(CreateTemporary(file, temporary));
  if (fd.Get() < 0) {
    error = Failure(temporary);
    return false;
  }
  struct stat old {};
  const bool replacing = ::stat(file.c_str(), &old) == 0;
  const bool written = WriteAll(fd.Get(), text) &&
                       (!replacing || ::fchmod(fd.Get(), old.st_mode & 07777) == 0) &&
                       ::fsync(fd.Get()) == 0 && fd.Close();
  if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
    error = Failure(written ? file : temporary);
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(file);
  return true;
}

}  // namespace zenor9::files
