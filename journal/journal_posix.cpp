// POSIX: the journal lives with the user's other state, by the XDG rule; a line
// goes in with one write through O_APPEND under flock, and fsync takes it to
// the disk before the lock is released.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "i18n/system_error.h"
#include "i18n/text.h"
#include "journal/journal.h"
#include "journal/journal_file.h"

namespace zenor9::journal {

namespace fs = std::filesystem;

namespace {

// Opened without waiting (a FIFO), without becoming a terminal's, and closed
// in programs this one starts.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

std::string Failure(const fs::path& file) {
  return PathText(file) + ": " + i18n::ErrnoText(errno);
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

// A new name is on the disk only once the folder that holds it is.
void SyncFolder(const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0) ::fsync(fd.Get());
}

std::string AccountName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_name != nullptr && *found->pw_name != '\0') {
    return found->pw_name;
  }
  // No entry (a container's user): the login's name, else the number.
  for (const char* variable : {"USER", "LOGNAME"}) {
    if (const char* name = std::getenv(variable); name != nullptr && *name != '\0') return name;
  }
  return std::to_string(::geteuid());
}

}  // namespace

fs::path DefaultJournalFile() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return fs::path(state) / "zenor9" / "journal.jsonl";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".local" / "state" / "zenor9" / "journal.jsonl";
  }
  return {};
}

fs::path EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? fs::path(value) : fs::path();
}

LocalTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {static_cast<std::int64_t>(now), static_cast<int>(local.tm_gmtoff / 60)};
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "?";
  return name;
}

// A technician not in the dialout group runs the program with sudo: the
// journal names who asked, not only root.
std::string UserName() {
  const std::string account = AccountName();
  const char* invoker = std::getenv("SUDO_USER");
  if (::geteuid() != 0 || invoker == nullptr || *invoker == '\0' || account == invoker) {
    return account;
  }
  return account + " (sudo " + invoker + ")";
}

FileLock::FileLock(const fs::path& lockFile)
    : file_(lockFile), handle_(::open(lockFile.c_str(), O_RDWR | O_CREAT | kOpenFlags, 0666)) {
  // Another user's lock file in a shared folder: flock needs no write access.
  if (handle_ < 0 && errno == EACCES) handle_ = ::open(lockFile.c_str(), O_RDONLY | kOpenFlags);
  if (handle_ < 0) error_ = Failure(lockFile);
}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
}

bool FileLock::TryLock() {
  if (handle_ < 0) return false;
  while (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) error_ = Failure(file_);
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

}  // namespace zenor9::journal
