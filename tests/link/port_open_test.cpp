// What the platform openers accept as a serial port. On Linux nothing but a
// character device is even opened: inotify sees every open of the files named.
// The Windows judgement of an opened handle is decided apart from the system
// calls, and tested here with the answers a driver may give.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "link/handle_kind.h"
#include "link/serial_port.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;

// The number of times `file` is opened while `act` runs, as inotify sees it.
int OpensOf(const fs::path& file, const std::function<void()>& act) {
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  EXPECT_GE(::inotify_add_watch(watch, file.c_str(), IN_OPEN), 0) << file;
  act();
  alignas(inotify_event) char events[4096];
  int opens = 0;
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
    for (char* at = events; at < events + n;) {
      opens += 1;
      at += sizeof(inotify_event) + reinterpret_cast<const inotify_event*>(at)->len;
    }
  }
  ::close(watch);
  return opens;
}

TEST(PortOpenTest, NothingButACharacterDeviceIsOpened) {
  const fs::path dir = fs::temp_directory_path() / ("zenor9-open-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::ofstream(dir / "huge") << "";
  fs::resize_file(dir / "huge", std::uintmax_t{1} << 32);  // sparse: nothing on the disk
  fs::create_symlink(dir / "fifo", dir / "link-to-fifo");

  for (const auto& [name, detail] :
       {std::pair{"fifo", PortDetail::Fifo}, std::pair{"huge", PortDetail::File},
        std::pair{"link-to-fifo", PortDetail::Fifo}, std::pair{"", PortDetail::Folder}}) {
    SCOPED_TRACE(name);
    PortOpenResult opened;
    EXPECT_EQ(OpensOf(dir / name, [&] { opened = OpenPlatformPort((dir / name).string()); }), 0);
    EXPECT_EQ(opened.port, nullptr);
    EXPECT_EQ(opened.failure, PortFailure::NotSerial);
    EXPECT_EQ(opened.detail.what, detail);
  }
  // A character device is opened, then refused for being no terminal.
  EXPECT_GE(
      OpensOf("/dev/null",
              [] { EXPECT_EQ(OpenPlatformPort("/dev/null").failure, PortFailure::NotSerial); }),
      1);
  fs::remove_all(dir);
}

TEST(PortOpenTest, AHandleOfUnknownTypeIsAPortWhenItHasALineState) {
  struct Case {
    const char* what;
    HandleKind kind;
    bool hasState;
    std::optional<PortFailure> refusal;  // nothing: a serial port
    int asked;
  };
  for (const Case& each : {
           Case{"a COM port", HandleKind::Character, true, std::nullopt, 1},
           Case{"another device", HandleKind::Character, false, PortFailure::NotSerial, 1},
           // Some COM drivers report no file type: the line state decides.
           Case{"a COM port of no type", HandleKind::Unknown, true, std::nullopt, 1},
           // Under Wine a COM name whose device is gone opens without a type.
           Case{"a gone device", HandleKind::Unknown, false, PortFailure::Missing, 1},
           // Files and pipes are refused without a question to them.
           Case{"a file", HandleKind::Disk, true, PortFailure::NotSerial, 0},
           Case{"a pipe", HandleKind::PipeOrSocket, true, PortFailure::NotSerial, 0},
       }) {
    SCOPED_TRACE(each.what);
    int asked = 0;
    const std::optional<PortOpenResult> refusal =
        RefusalOfHandle(each.kind, [&]() -> std::optional<PortOpenResult> {
          ++asked;
          if (each.hasState) return std::nullopt;
          return PortOpenResult::SystemFailure(PortFailure::NotSerial, 1);
        });
    EXPECT_EQ(refusal ? std::optional<PortFailure>(refusal->failure) : std::nullopt, each.refusal);
    EXPECT_EQ(asked, each.asked);
  }
}

}  // namespace
}  // namespace zenor9
