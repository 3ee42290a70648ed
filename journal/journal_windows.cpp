// Windows: the journal lives in the user's local application data, and names
// who wrote by the account and the computer's DNS host name.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "journal/journal.h"
#include "journal/journal_file.h"

namespace zenor9::journal {

namespace fs = std::filesystem;

namespace {

std::string Utf8(const wchar_t* text, int length) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
  return result;
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

}  // namespace zenor9::journal
