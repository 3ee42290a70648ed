// What the system tells about a device without opening it for the program: who
// holds it, and the group that would let this user open it.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "diagnosis/port_facts.h"

namespace zenor9::diag {
namespace {

TEST(PortFactsTest, AnotherProcessHoldingTheDeviceIsNamedWithItsPid) {
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
  ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(release[1]);
    ::prctl(PR_SET_NAME, "z9-holder");
    const int fd = ::open("/dev/null", O_RDWR);
    (void)!::write(ready[1], "x", 1);
    char done = 0;
    (void)!::read(release[0], &done, 1);
    ::close(fd);
    _exit(0);
  }
  char go = 0;
  ASSERT_EQ(::read(ready[0], &go, 1), 1);
  const std::vector<ProcessInfo> holders = ProcessesHolding("/dev/null");
  ::close(release[1]);
  ::waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);

  const auto found = std::find_if(holders.begin(), holders.end(),
                                  [&](const ProcessInfo& p) { return p.pid == child; });
  ASSERT_NE(found, holders.end());
  EXPECT_EQ(found->name, "z9-holder");
  EXPECT_TRUE(std::none_of(holders.begin(), holders.end(),
                           [](const ProcessInfo& p) { return p.pid == ::getpid(); }));
  EXPECT_TRUE(ProcessesHolding("/nonexistent/tty").empty());
}

TEST(PortFactsTest, TheGroupHintNamesAGroupThisUserIsNotIn) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("zenor9-group-" + std::to_string(::getpid()));
  std::ofstream(file) << "";
  ::chmod(file.c_str(), 0660);
  EXPECT_EQ(GroupHint(file.string()), "");  // its group is this user's own

  std::vector<gid_t> mine(64);
  mine.resize(static_cast<std::size_t>(std::max(::getgroups(64, mine.data()), 0)));
  const group* other = nullptr;
  ::setgrent();
  for (const group* entry = ::getgrent(); entry != nullptr; entry = ::getgrent()) {
    if (entry->gr_gid != ::getegid() &&
        std::find(mine.begin(), mine.end(), entry->gr_gid) == mine.end()) {
      other = entry;
      break;
    }
  }
  const std::string name = other != nullptr ? other->gr_name : "";
  const bool moved = other != nullptr && ::chown(file.c_str(), -1, other->gr_gid) == 0;
  ::endgrent();
  if (!moved) {
    std::filesystem::remove(file);
    GTEST_SKIP() << "only root can give a file to a group it is not in";
  }
  EXPECT_EQ(GroupHint(file.string()),
            "the device belongs to group " + name + ", which this user is not in");
  ::chmod(file.c_str(), 0600);  // the group may not open it either: no hint
  EXPECT_EQ(GroupHint(file.string()), "");
  std::filesystem::remove(file);
}

TEST(PortFactsTest, DevicesWithoutATtyDriverHaveNone) {
  EXPECT_EQ(DriverOf("/dev/null"), "");
  EXPECT_EQ(DriverOf("/nonexistent/ttyUSB0"), "");
  EXPECT_TRUE(DevicePresent("/dev/null"));
  EXPECT_FALSE(DevicePresent("/nonexistent/ttyUSB0"));
}

}  // namespace
}  // namespace zenor9::diag
