// Windows: a file is read only when it is a file on a disk; locks are
// LockFileEx's, and FlushFileBuffers takes each write to the disk before the
// file is moved into place or the lock released.
#include <windows.h>

#include <algorithm>

#include "files/files.h"
#include "i18n/system_error.h"
#include "i18n/text.h"

namespace zenor9::files {

namespace fs = std::filesystem;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string LastErrorText() {
  return i18n::SystemErrorText(::GetLastError());
}

std::string Failure(const fs::path& file) {
  return PathText(file) + ": " + LastErrorText();
}

FileText Unreadable(std::string why) {
  return {FileText::State::Unreadable, {}, std::move(why)};
}

std::string TooLarge(std::uintmax_t limit) {
  return i18n::Tr("it is larger than %s KiB", limit / 1024);
}

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (Valid()) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE handle, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
    if (!::WriteFile(handle, text.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

bool EndsInsideALine(HANDLE handle, LONGLONG size) {
  if (size <= 0) return false;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>((size - 1) & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
  char last = '\n';
  DWORD got = 0;
  return ::ReadFile(handle, &last, 1, &got, &at) && got == 1 && last != '\n';
}

// A new file beside `file` whose name no other process uses: the process id
// and a count, created only when it does not exist yet.
HANDLE CreateTemporary(const fs::path& file, fs::path& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = file;
    temporary += ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
    const HANDLE handle = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

bool MoveDurably(const fs::path& from, const fs::path& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

FileText ReadWholeFile(const fs::path& file, std::uintmax_t limit) {
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return Unreadable(i18n::SystemErrorText(error));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Unreadable(i18n::Tr("it is a folder"));
  Handle handle(::CreateFileW(file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.Valid()) return Unreadable(LastErrorText());
  if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
    return Unreadable(i18n::Tr("it is not a regular file"));
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle.Get(), &size)) return Unreadable(LastErrorText());
  if (static_cast<std::uintmax_t>(size.QuadPart) > limit) return Unreadable(TooLarge(limit));
  FileText read{FileText::State::Read, {}, {}};
  char buffer[4096];
  while (read.text.size() <= limit) {
    DWORD got = 0;
    if (!::ReadFile(handle.Get(), buffer, sizeof buffer, &got, nullptr)) {
      return Unreadable(LastErrorText());
    }
    if (got == 0) return read;
    read.text.append(buffer, got);
  }
  return Unreadable(TooLarge(limit));
}

FileLock::FileLock(const fs::path& lockFile)
    : handle_(reinterpret_cast<std::intptr_t>(
          ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  if (reinterpret_cast<HANDLE>(handle_) == INVALID_HANDLE_VALUE) error_ = LastErrorText();
}

FileLock::~FileLock() {
  const auto handle = reinterpret_cast<HANDLE>(handle_);
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);  // releases the lock
}

bool FileLock::TryLock() {
  const auto handle = reinterpret_cast<HANDLE>(handle_);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole{};
  if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                   MAXDWORD, &whole)) {
    return true;
  }
  if (const DWORD error = ::GetLastError(); error != ERROR_LOCK_VIOLATION) {
    error_ = i18n::SystemErrorText(error);
  }
  return false;
}

// Only this program's runs append, each under the lock: the end found is the end.
bool AppendDurably(const fs::path& file, const std::string& text, std::string& error) {
  Handle handle(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!handle.Valid() || !::GetFileSizeEx(handle.Get(), &size)) {
    error = Failure(file);
    return false;
  }
  if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
    error = PathText(file) + ": " + i18n::Tr("it is not a regular file");
    return false;
  }
  const std::string whole = EndsInsideALine(handle.Get(), size.QuadPart) ? "\n" + text : text;
  const LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(handle.Get(), zero, nullptr, FILE_END) ||
      !WriteAll(handle.Get(), whole) || !::FlushFileBuffers(handle.Get()) || !handle.Close()) {
    error = Failure(file);
    return false;
  }
  return true;
}

bool RenameDurably(const fs::path& from, const fs::path& to, std::string& error) {
  if (!MoveDurably(from, to)) {
    error = Failure(from);
    return false;
  }
  return true;
}

// The new file takes the permissions of its folder, as the file it replaces did.
bool ReplaceDurably(const fs::path& file, const std::string& text, std::string& error) {
  fs::path temporary;
  Handle handle(CreateTemporary(file, temporary));
  if (!handle.Valid()) {
    error = Failure(temporary);
    return false;
  }
  const bool written =
      WriteAll(handle.Get(), text) && ::FlushFileBuffers(handle.Get()) && handle.Close();
  if (!written || !MoveDurably(temporary, file)) {
    error = Failure(written ? file : temporary);
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace zenor9::files
