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

#include "link/handle_kind.h"
#include "link/serial_port.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;

// Counts the opens of the files it watches.
class OpenWatch {
 public:
  OpenWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
  ~OpenWatch() { ::close(fd_); }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  bool Watch(const fs::path& file) { return ::inotify_add_watch(fd_, file.c_str(), IN_OPEN) >= 0; }
  int Opens() const {
    alignas(inotify_event) char buffer[4096];
    int opens = 0;
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if ((event->mask & IN_OPEN) != 0) ++opens;
        at += sizeof(inotify_event) + event->len;
      }
    }
    return opens;
  }

 private:
  int fd_;
};

TEST(PortOpenTest, NothingButACharacterDeviceIsOpened) {
  const fs::path dir = fs::temp_directory_path() / ("zenor9-open-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path huge = dir / "huge";
  std::ofstream(huge) << "";
  fs::resize_file(huge, std::uintmax_t{1} << 32);  // sparse: nothing on the disk
  fs::create_symlink(fifo, dir / "link-to-fifo");

  struct Case {
    fs::path path;
    const char* detail;
  };
  for (const Case& each : {Case{fifo, "a FIFO"}, Case{huge, "a file"},
                           Case{dir / "link-to-fifo", "a FIFO"}, Case{dir, "a folder"}}) {
    SCOPED_TRACE(each.path.string());
    OpenWatch watch;
    ASSERT_TRUE(watch.Watch(each.path));
    const PortOpenResult opened = OpenPlatformPort(each.path.string());
    EXPECT_EQ(opened.port, nullptr);
    EXPECT_EQ(opened.failure, PortFailure::NotSerial);
    EXPECT_EQ(opened.detail, each.detail);
    EXPECT_EQ(watch.Opens(), 0);
  }
  // A character device is opened and then refused for being no terminal.
  OpenWatch watch;
  ASSERT_TRUE(watch.Watch("/dev/null"));
  EXPECT_EQ(OpenPlatformPort("/dev/null").failure, PortFailure::NotSerial);
  EXPECT_GE(watch.Opens(), 1);
  fs::remove_all(dir);
}

// A driver's answer to GetCommState, as the Windows backend would pass it on.
struct LineStateAnswer {
  bool hasState;
  int asked = 0;

  std::optional<PortOpenResult> operator()() {
    ++asked;
    if (hasState) return std::nullopt;
    return PortOpenResult::Failure(PortFailure::NotSerial, "Incorrect function. (error 1)");
  }
};

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
    LineStateAnswer answer{each.hasState};
    const std::optional<PortOpenResult> refusal =
        RefusalOfHandle(each.kind, [&answer] { return answer(); });
    EXPECT_EQ(refusal ? std::optional<PortFailure>(refusal->failure) : std::nullopt, each.refusal);
    EXPECT_EQ(answer.asked, each.asked);
  }
}

}  // namespace
}  // namespace zenor9
