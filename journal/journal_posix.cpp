// POSIX: the journal lives with the user's other state, by the XDG rule, and
// names who wrote by the account (and sudo's caller) and the host.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_file.h"

namespace zenor9::journal {

namespace fs = std::filesystem;

namespace {

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

}  // namespace zenor9::journal
