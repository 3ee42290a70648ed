// Linux: holders from /proc/*/fd, groups from the device's owner group, drivers
// from sysfs.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "diagnosis/folder_walk.h"
#include "diagnosis/port_facts.h"
#include "diagnosis/sysfs_tty.h"
#include "i18n/text.h"

namespace zenor9::diag {

namespace fs = std::filesystem;

using i18n::Tr;

namespace {

std::string ProcessName(const fs::path& processDir) {
  std::ifstream comm(processDir / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// `zenor9 sim`: the virtual register keeps its pseudo-terminal's device open
// for the whole run, so it is among the holders of a device it serves.
bool IsVirtualRegister(const fs::path& processDir) {
  std::ifstream in(processDir / "cmdline", std::ios::binary);
  std::vector<std::string> arguments;
  for (std::string argument; std::getline(in, argument, '\0');) arguments.push_back(argument);
  return arguments.size() > 1 && fs::path(arguments.front()).filename() == "zenor9" &&
         std::find(arguments.begin() + 1, arguments.end(), "sim") != arguments.end();
}

bool OpensDevice(const fs::path& fdDir, dev_t device) {
  bool opens = false;
  ForEachEntry(fdDir, [&](const fs::directory_entry& fd) {
    struct stat target {};
    opens = ::stat(fd.path().c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == device;
    return !opens;
  });
  return opens;
}

bool IsNumber(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool InGroup(gid_t group) {
  if (::getegid() == group) return true;
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
  const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
  return std::find(groups.begin(), groups.begin() + std::max(count, 0), group) !=
         groups.begin() + std::max(count, 0);
}

// The group database lists the user, but this session started before that.
bool ListedInGroup(const group& entry) {
  const passwd* user = ::getpwuid(::geteuid());
  if (user == nullptr || entry.gr_mem == nullptr) return false;
  for (char** member = entry.gr_mem; *member != nullptr; ++member) {
    if (std::string(*member) == user->pw_name) return true;
  }
  return false;
}

}  // namespace

bool DevicePresent(const std::string& device) {
  std::error_code error;
  return fs::exists(device, error);
}

std::vector<ProcessInfo> ProcessesHolding(const std::string& device) {
  struct stat wanted {};
  if (::stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode)) return {};
  std::vector<ProcessInfo> holders;
  const int self = static_cast<int>(::getpid());
  ForEachEntry("/proc", [&](const fs::directory_entry& process) {
    const std::string name = process.path().filename().string();
    // Another user's descriptors stay hidden: such a holder is not seen.
    if (IsNumber(name) && std::stoi(name) != self &&
        OpensDevice(process.path() / "fd", wanted.st_rdev)) {
      holders.push_back(
          {std::stoi(name), ProcessName(process.path()), IsVirtualRegister(process.path())});
    }
    return true;
  });
  std::sort(holders.begin(), holders.end(),
            [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
  return holders;
}

std::optional<MissingGroup> GroupThatWouldAllow(const std::string& device) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0 || (info.st_mode & S_IRWXG) == 0) return std::nullopt;
  const group* owner = ::getgrgid(info.st_gid);
  if (owner == nullptr || InGroup(info.st_gid)) return std::nullopt;
  return MissingGroup{owner->gr_name, ListedInGroup(*owner)};
}

std::string GroupHint(const std::string& device) {
  const std::optional<MissingGroup> group = GroupThatWouldAllow(device);
  if (!group) return {};
  if (group->joinedAfterLogin) {
    return Tr("this user joined group %s after logging in; log in again", group->name);
  }
  return Tr("the device belongs to group %s, which this user is not in", group->name);
}

bool MayBeSerialPort(const std::string& device) {
  struct stat info {};
  return ::stat(device.c_str(), &info) != 0 || S_ISCHR(info.st_mode);
}

std::string DriverOf(const std::string& device) {
  std::error_code error;
  const fs::path real = fs::canonical(device, error);
  return error ? std::string() : TtyDriver(kClassTty / real.filename());
}

bool TtyHasDriver(const fs::path& ttyDir) {
  std::error_code error;
  return fs::is_symlink(ttyDir / "device" / "driver", error);
}

std::string TtyDriver(const fs::path& ttyDir) {
  std::error_code error;
  fs::path device = fs::canonical(ttyDir / "device", error);
  for (int depth = 0; depth < 4 && !error; ++depth) {
    const fs::path driver = fs::read_symlink(device / "driver", error);
    if (error) break;
    if (driver.parent_path().parent_path().filename() != "serial-base") {
      return driver.filename().string();
    }
    device = device.parent_path();
  }
  return {};
}

bool TtyHasNoUart(const fs::path& ttyDir) {
  std::ifstream type(ttyDir / "type");
  int value = -1;
  return type >> value && value == 0;
}

// The first adapter the usbserial drivers register.
const char* TypicalAdapterDevice() {
  return "/dev/ttyUSB0";
}

}  // namespace zenor9::diag
