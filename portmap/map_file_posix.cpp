// POSIX: the map file lives with the user's other settings, by the XDG rule;
// it is read without following it into a FIFO or a device, and rewritten under
// flock with a unique temporary file that reaches the disk before the rename.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "i18n/system_error.h"
#include "i18n/text.h"
#include "portmap/map_file.h"

namespace zenor9::portmap {

namespace fs = std::filesystem;

namespace {

std::string ErrorText(int error) {
  return i18n::ErrnoText(error);
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

// The rename is on the disk only once the folder that holds the name is.
void SyncFolder(const fs::path& folder) {
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0) ::fsync(fd.Get());
}

}  // namespace

fs::path MapFilePath() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return fs::path(config) / "zenor9" / "ports";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".config" / "zenor9" / "ports";
  }
  return {};
}

std::string EnvironmentComDevice(int number) {
  const char* device = std::getenv(("ZENOR9_COM" + std::to_string(number)).c_str());
  return device != nullptr ? device : "";
}

std::string MappedDevice(const std::string& path) {
  return path.empty() || path.front() == '/' ? path : "/dev/" + path;
}

FileText ReadWholeFile(const fs::path& file, std::uintmax_t limit) {
  // Looked at before it is opened: opening a FIFO or a device may wait or act.
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return Unreadable(ErrorText(errno));
  }
  if (std::string refusal = RefusalOf(info, limit); !refusal.empty()) return Unreadable(refusal);
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.Get() < 0) return Unreadable(ErrorText(errno));
  // The name may lead elsewhere by now.
  if (::fstat(fd.Get(), &info) != 0) return Unreadable(ErrorText(errno));
  if (std::string refusal = RefusalOf(info, limit); !refusal.empty()) return Unreadable(refusal);
  FileText read{FileText::State::Read, {}, {}};
  char buffer[4096];
  while (read.text.size() <= limit) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Unreadable(ErrorText(errno));
    if (n == 0) return read;
    read.text.append(buffer, static_cast<std::size_t>(n));
  }
  return Unreadable(TooLarge(limit));  // it grew while it was read
}

FileLock::FileLock(const fs::path& lockFile)
    : handle_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
  if (handle_ < 0) error_ = ErrorText(errno);
}

bool FileLock::TryLock() {
  if (handle_ < 0) return false;
  while (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) error_ = ErrorText(errno);
    return false;
  }
  return true;
}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
}

bool ReplaceDurably(const fs::path& file, const std::string& text, std::string& error) {
  fs::path temporary;
  Descriptor fd(CreateTemporary(file, temporary));
  if (fd.Get() < 0) {
    error = temporary.string() + ": " + ErrorText(errno);
    return false;
  }
  struct stat old {};
  const bool replacing = ::stat(file.c_str(), &old) == 0;
  const bool written = WriteAll(fd.Get(), text) &&
                       (!replacing || ::fchmod(fd.Get(), old.st_mode & 07777) == 0) &&
                       ::fsync(fd.Get()) == 0 && fd.Close();
  if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
    error = (written ? file : temporary).string() + ": " + ErrorText(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The new text is in place whatever this gives: a file system that cannot
  // flush a folder leaves the name to its own next flush.
  SyncFolder(file.has_parent_path() ? file.parent_path() : fs::path("."));
  return true;
}

}  // namespace zenor9::portmap
