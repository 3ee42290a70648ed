// Windows: the journal lives in the user's local application data; a line goes
// in at the file's end under LockFileEx, and FlushFileBuffers takes it to the
// disk before the lock is released.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "i18n/system_error.h"
#include "i18n/text.h"
#include "journal/journal.h"
#include "journal/journal_file.h"

namespace zenor9::journal {

namespace fs = std::filesystem;

namespace {

std::string Failure(const fs::path& file) {
  return PathText(file) + ": " + i18n::SystemErrorText(::GetLastError());
}

std::string Utf8(const wchar_t* text, int length) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
  return result;
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

}  // namespace

fs::path DefaultJournalFile() {
  const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || *local == L'\0') return {};
  return fs::path(local) / "zenor9" / "journal.jsonl";
}

fs::path EnvironmentPath(const char* name) {
  const std::wstring wide(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = ::_wgetenv(wide.c_str());
  return value != nullptr ? fs::path(value) : fs::path();
}

LocalTime SystemLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_s(&local, &now);
  // The local fields read as if they were UTC, less the instant: the offset.
  const std::time_t asUtc = ::_mkgmtime(&local);
  return {static_cast<std::int64_t>(now), static_cast<int>((asUtc - now) / 60)};
}

std::string HostName() {
  wchar_t name[256];
  DWORD length = 256;
  if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &length) || length == 0) return "?";
  return Utf8(name, static_cast<int>(length));
}

std::string UserName() {
  wchar_t name[257];
  DWORD length = 257;
  if (!::GetUserNameW(name, &length) || length <= 1) return "?";
  return Utf8(name, static_cast<int>(length - 1));  // the length counts the final zero
}

FileLock::FileLock(const fs::path& lockFile)
    : file_(lockFile),
      handle_(reinterpret_cast<std::intptr_t>(
          ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  if (reinterpret_cast<HANDLE>(handle_) == INVALID_HANDLE_VALUE) error_ = Failure(lockFile);
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
  if (::GetLastError() != ERROR_LOCK_VIOLATION) error_ = Failure(file_);
  return false;
}

// Only this program's runs append, each under the lock: the end found is the end.
bool AppendDurably(const fs::path& file, const std::string& text, std::string& error) {
  Handle handle(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = Failure(from);
    return false;
  }
  return true;
}

}  // namespace zenor9::journal
