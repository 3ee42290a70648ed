// The COM map: which source wins, how the file is read line by line, and how it
// is rewritten. Every test keeps its settings in a folder of its own; default
// device names are only compared, never opened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

#include "i18n/text.h"
#include "link/serial_port.h"
#include "portmap/com_map.h"

namespace zenor9::portmap {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ComMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zenor9-map-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    for (int n = 1; n <= 12; ++n) ::unsetenv(("ZENOR9_COM" + std::to_string(n)).c_str());
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    for (int n = 1; n <= 12; ++n) ::unsetenv(("ZENOR9_COM" + std::to_string(n)).c_str());
    fs::remove_all(dir);
  }
  void WriteMap(const std::string& text) {
    fs::create_directories(MapFilePath().parent_path());
    std::ofstream(MapFilePath(), std::ios::binary) << text;
  }

  fs::path dir;
};

TEST_F(ComMapTest, TheEnvironmentWinsOverTheMapWhichWinsOverTheDefault) {
  EXPECT_EQ(MapFilePath(), dir / "zenor9" / "ports");
  WriteMap("COM1=/dev/serial/by-id/usb-FTDI_A\nCOM2=/dev/ttyUSB1\nCOM12=/dev/ttyACM0\n");
  ::setenv("ZENOR9_COM1", "/dev/pts/77", 1);
  ::setenv("ZENOR9_COM3", "", 1);  // set but empty: not a choice

  const ComTarget com1 = ResolveCom(1);
  EXPECT_EQ(com1.device, "/dev/pts/77");
  EXPECT_EQ(com1.source, Source::Environment);
  const ComTarget com2 = ResolveCom(2);
  EXPECT_EQ(com2.device, "/dev/ttyUSB1");
  EXPECT_EQ(com2.source, Source::MapFile);
  EXPECT_EQ(ResolveCom(12).device, "/dev/ttyACM0");  // beyond COM4 too
  const ComTarget com3 = ResolveCom(3);
  EXPECT_EQ(com3.device, DefaultComDevice(3));  // resolved only, never opened
  EXPECT_EQ(com3.source, Source::Default);
  EXPECT_EQ(ResolveCom(0).device, "");
  EXPECT_EQ(ResolveCom(256).device, "");
}

TEST_F(ComMapTest, WithoutXdgConfigHomeTheMapIsInHomeDotConfig) {
  ::unsetenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string saved = home != nullptr ? home : "";
  ::setenv("HOME", dir.c_str(), 1);
  EXPECT_EQ(MapFilePath(), dir / ".config" / "zenor9" / "ports");
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored by the XDG rule
  EXPECT_EQ(MapFilePath(), dir / ".config" / "zenor9" / "ports");
  ::setenv("HOME", saved.c_str(), 1);
}

TEST_F(ComMapTest, BadLinesAreReportedWithTheirNumbersAndTheRestStillCounts) {
  const ComMap map = ParseComMap(
      "# my adapters\r\n"
      "  com1 =  /dev/ttyUSB0  \r\n"
      "\n"
      "garbage\n"
      "COM0=/dev/pts/9\n"
      "COM256=/dev/pts/9\n"
      "LPT1=/dev/lp0\n"
      "COM2=\n"
      "COM1=/dev/ttyUSB9\n"
      "COM3=/dev/serial/by-id/usb-a=b#c\n" +
      std::string(39, 'x') + "ЖЖЖ\n" + std::string(10000, 'x'));
  EXPECT_EQ(map.devices.size(), 2u);
  EXPECT_EQ(map.devices.at(1), "/dev/ttyUSB0");                 // the first line for COM1
  EXPECT_EQ(map.devices.at(3), "/dev/serial/by-id/usb-a=b#c");  // '=' and '#' inside a path
  std::vector<int> lines;
  for (const MapProblem& problem : map.problems) lines.push_back(problem.line);
  EXPECT_EQ(lines, (std::vector<int>{4, 5, 6, 7, 8, 9, 11, 12}));
  EXPECT_NE(map.problems[5].what.find("line 2"), std::string::npos) << map.problems[5].what;
  EXPECT_LT(map.problems.back().what.size(), 100u);  // an overlong line is quoted short
  // ...and cut between characters, never inside one.
  EXPECT_NE(map.problems[6].what.find("x...\""), std::string::npos) << map.problems[6].what;
  EXPECT_TRUE(i18n::IsUtf8(map.problems[6].what)) << map.problems[6].what;
}

TEST_F(ComMapTest, ComNamesAreOneToTwoHundredFiftyFiveInAnyCase) {
  EXPECT_EQ(ComNumberOfName("COM1"), 1);
  EXPECT_EQ(ComNumberOfName("com255"), 255);
  EXPECT_EQ(ComNumberOfName("Com42"), 42);
  for (const char* bad : {"COM0", "COM256", "COM01", "COM", "COM1a", "COM-1", "LPT1", "COM99999"}) {
    EXPECT_EQ(ComNumberOfName(bad), 0) << bad;
  }
}

TEST_F(ComMapTest, MappingReplacesItsLineKeepsEverythingElseAndAppendsWhenNew) {
  const std::string text =
      "# adapters\n"
      "COM1=/dev/ttyUSB0\n"
      "\n"
      "junk line\n"
      "com1 = /dev/ttyUSB5\n"
      "COM2=/dev/ttyUSB1";  // no final newline
  EXPECT_EQ(WithMapping(text, 1, "/dev/ttyACM0"),
            "# adapters\nCOM1=/dev/ttyACM0\n\njunk line\nCOM2=/dev/ttyUSB1\n");
  EXPECT_EQ(WithMapping(text, 7, "/dev/ttyUSB7"), text + "\nCOM7=/dev/ttyUSB7\n");
  EXPECT_EQ(WithoutMapping(text, 1), "# adapters\n\njunk line\nCOM2=/dev/ttyUSB1\n");
  EXPECT_EQ(WithoutMapping(text, 9), text);  // nothing removed: not a byte changed
  EXPECT_EQ(WithMapping("", 3, "/dev/x"), "COM3=/dev/x\n");
}

// A rewrite whose new text is `text`, whatever the old one was.
std::function<std::string(const std::string&)> Becomes(const std::string& text) {
  return [text](const std::string&) { return text; };
}

TEST_F(ComMapTest, TheFileIsReplacedInOneStepAndALinkStaysALink) {
  std::string error;
  const fs::path file = MapFilePath();
  ASSERT_EQ(Rewrite::Written, RewriteMapFile(file, Becomes("COM1=/dev/a\n"), error))
      << error;  // makes the folder
  EXPECT_EQ(ReadAll(file), "COM1=/dev/a\n");

  // A reader that has the old file open keeps reading the old text: the new
  // one arrived by rename, not by rewriting in place. The file keeps its mode.
  std::ifstream reader(file, std::ios::binary);
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(file, mode);
  ASSERT_EQ(Rewrite::Written, RewriteMapFile(file, Becomes("COM1=/dev/b\n"), error)) << error;
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "COM1=/dev/a\n");
  EXPECT_EQ(ReadAll(file), "COM1=/dev/b\n");
  EXPECT_EQ(fs::status(file).permissions(), mode);
  std::vector<std::string> names;  // the map and its lock; no temporary file left
  for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ports", "ports.lock"}));

  const fs::path kept = dir / "kept-ports";
  fs::rename(file, kept);
  fs::create_symlink(kept, file);
  ASSERT_EQ(Rewrite::Written, RewriteMapFile(file, Becomes("COM2=/dev/c\n"), error)) << error;
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadAll(kept), "COM2=/dev/c\n");
}

TEST_F(ComMapTest, AFailedWriteSaysWhyAndLeavesTheOldFile) {
  std::string error;
  fs::create_directories(dir);
  std::ofstream(dir / "zenor9") << "a file where the folder should be";
  EXPECT_EQ(Rewrite::Failed, RewriteMapFile(MapFilePath(), Becomes("COM1=/dev/a\n"), error));
  EXPECT_NE(error.find("zenor9"), std::string::npos) << error;
  EXPECT_EQ(ReadAll(dir / "zenor9"), "a file where the folder should be");
}

TEST_F(ComMapTest, AMissingMapIsEmpty) {
  EXPECT_TRUE(ReadComMap(MapFilePath()).devices.empty());
  EXPECT_EQ(ResolveCom(1).source, Source::Default);
}

// The map as an editor leaves it: a byte-order mark (Notepad), comments after
// the paths, a name under /dev given without /dev, a '#' inside a by-id name.
// A COMn whose lines are all ignored stands for no device, naming the line:
// never for the default device, which is some other port.
TEST_F(ComMapTest, AnEditedMapIsReadAsMeantAndAnIgnoredLineLeavesItsPortWithoutDevice) {
  const std::string kMark = "\xEF\xBB\xBF";
  WriteMap(kMark +
           "COM1=/dev/pts/3   # bench line\n"
           "COM2 = ttyUSB0\t# under /dev\n"
           "COM3=/dev/serial/by-id/usb-a#b\n"
           "COM4 /dev/ttyUSB0\n"
           "COM5=   # not known yet\n"
           "COM1=/dev/pts/9\n");
  EXPECT_EQ(ResolveCom(1).device, "/dev/pts/3");  // its first line counts
  EXPECT_EQ(ResolveCom(1).source, Source::MapFile);
  EXPECT_EQ(ResolveCom(2).device, "/dev/ttyUSB0");
  EXPECT_EQ(ResolveCom(3).device, "/dev/serial/by-id/usb-a#b");
  const ComTarget com4 = ResolveCom(4);
  EXPECT_EQ(com4.device, "");
  EXPECT_EQ(com4.fault, MapFault::LineIgnored);
  EXPECT_NE(com4.problem.find("line 4 of the COM map " + MapFilePath().string() + " is ignored"),
            std::string::npos)
      << com4.problem;
  EXPECT_NE(ResolveCom(5).problem.find("line 5"), std::string::npos) << ResolveCom(5).problem;
  EXPECT_EQ(ResolveCom(6).source, Source::Default);  // no line names it
  ::setenv("ZENOR9_COM4", "/dev/pts/5", 1);
  EXPECT_EQ(ResolveCom(4).device, "/dev/pts/5");  // the environment still comes first

  // A rewrite keeps the mark and replaces a line rather than adding one, an
  // ignored line too; unmapping drops a port's ignored line.
  std::string error;
  ASSERT_EQ(Rewrite::Written, RewriteMapFile(
                                  MapFilePath(),
                                  [](const std::string& text) {
                                    return WithoutMapping(WithMapping(text, 4, "/dev/pts/4"), 5);
                                  },
                                  error))
      << error;
  EXPECT_EQ(ReadAll(MapFilePath()), kMark +
                                        "COM1=/dev/pts/3   # bench line\n"
                                        "COM2 = ttyUSB0\t# under /dev\n"
                                        "COM3=/dev/serial/by-id/usb-a#b\n"
                                        "COM4=/dev/pts/4\n"
                                        "COM1=/dev/pts/9\n");
}

// A map that exists but cannot be read gives no COMn a device, each with the
// reason, and is not rewritten: read as empty, it would send every COMn to its
// default device, and a rewrite would replace it with one line. Neither the
// FIFO nor the device is opened (a FIFO would wait for a writer).
TEST_F(ComMapTest, AMapThatCannotBeReadGivesNoPortADeviceAndStaysAsItWas) {
  const fs::path file = MapFilePath();
  const auto unpermitted = [&] {
    WriteMap("COM1=/dev/pts/3\n");
    fs::permissions(file, fs::perms::none);
  };
  const std::vector<std::tuple<std::string, std::function<void()>, std::string>> cases = {
      {"a folder", [&] { fs::create_directories(file); }, "it is a folder"},
      {"not UTF-8", [&] { WriteMap("COM1=/dev/pts/3\nCOM2=/dev/caf\xE9\n"); },
       "line 2 is not UTF-8 text"},
      {"too large", [&] { WriteMap("COM1=/dev/pts/3\n#" + std::string(64 * 1024, ' ')); },
       "it is larger than 64 KiB"},
      {"a FIFO", [&] { ::mkfifo(file.c_str(), 0600); }, "it is not a regular file"},
      {"a device", [&] { fs::create_symlink("/dev/null", file); }, "it is not a regular file"},
      {"no permission", unpermitted, "access denied"},
  };
  for (const auto& [what, make, reason] : cases) {
    SCOPED_TRACE(what);
    fs::remove_all(dir);
    fs::create_directories(file.parent_path());
    make();
    // Root reads any file: the permission case needs another user.
    if (what == "no permission" && ::geteuid() == 0) continue;
    const fs::file_type type = fs::status(file).type();
    const std::string before = type == fs::file_type::regular ? ReadAll(file) : "";

    for (int number : {1, 2, 7}) {
      const ComTarget target = ResolveCom(number);
      EXPECT_EQ(target.device, "") << number;
      EXPECT_EQ(target.fault, MapFault::Unreadable);
      EXPECT_NE(target.problem.find(file.string() + " cannot be read: " + reason),
                std::string::npos)
          << target.problem;
    }
    ::setenv("ZENOR9_COM2", "/dev/pts/5", 1);
    EXPECT_EQ(ResolveCom(2).device, "/dev/pts/5");
    ::unsetenv("ZENOR9_COM2");

    std::string error;
    EXPECT_EQ(Rewrite::Failed,
              RewriteMapFile(
                  file, [](const std::string& text) { return WithMapping(text, 4, "/dev/pts/6"); },
                  error));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_EQ(fs::status(file).type(), type);
    if (type == fs::file_type::regular) {
      fs::permissions(file, fs::perms::owner_read);
      EXPECT_EQ(ReadAll(file), before);
    }
  }
}

}  // namespace
}  // namespace zenor9::portmap
