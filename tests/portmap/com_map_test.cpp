// The COM map: which source wins, how the file is read line by line, and how it
// is rewritten. Every test keeps its settings in a folder of its own; default
// device names are only compared, never opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

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
      std::string(10000, 'x'));
  EXPECT_EQ(map.devices.size(), 2u);
  EXPECT_EQ(map.devices.at(1), "/dev/ttyUSB0");                 // the first line for COM1
  EXPECT_EQ(map.devices.at(3), "/dev/serial/by-id/usb-a=b#c");  // '=' and '#' inside a path
  std::vector<int> lines;
  for (const MapProblem& problem : map.problems) lines.push_back(problem.line);
  EXPECT_EQ(lines, (std::vector<int>{4, 5, 6, 7, 8, 9, 11}));
  EXPECT_NE(map.problems[5].what.find("line 2"), std::string::npos) << map.problems[5].what;
  EXPECT_LT(map.problems.back().what.size(), 100u);  // an overlong line is quoted short
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
  EXPECT_EQ(WithoutMapping(text, 9), text + "\n");
  EXPECT_EQ(WithMapping("", 3, "/dev/x"), "COM3=/dev/x\n");
}

TEST_F(ComMapTest, TheFileIsReplacedInOneStepAndALinkStaysALink) {
  std::string error;
  const fs::path file = MapFilePath();
  ASSERT_TRUE(ReplaceFile(file, "COM1=/dev/a\n", error)) << error;  // creates the folder
  EXPECT_EQ(ReadAll(file), "COM1=/dev/a\n");

  // A reader that has the old file open keeps reading the old text: the new
  // one arrived by rename, not by rewriting in place.
  std::ifstream reader(file, std::ios::binary);
  ASSERT_TRUE(ReplaceFile(file, "COM1=/dev/b\n", error)) << error;
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "COM1=/dev/a\n");
  EXPECT_EQ(ReadAll(file), "COM1=/dev/b\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);  // no leftovers

  const fs::path kept = dir / "kept-ports";
  fs::rename(file, kept);
  fs::create_symlink(kept, file);
  ASSERT_TRUE(ReplaceFile(file, "COM2=/dev/c\n", error)) << error;
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadAll(kept), "COM2=/dev/c\n");
}

TEST_F(ComMapTest, AFailedWriteSaysWhyAndLeavesTheOldFile) {
  std::string error;
  fs::create_directories(dir);
  std::ofstream(dir / "zenor9") << "a file where the folder should be";
  EXPECT_FALSE(ReplaceFile(MapFilePath(), "COM1=/dev/a\n", error));
  EXPECT_NE(error.find("zenor9"), std::string::npos) << error;
  EXPECT_EQ(ReadAll(dir / "zenor9"), "a file where the folder should be");
}

TEST_F(ComMapTest, AMissingMapIsEmpty) {
  EXPECT_TRUE(ReadComMap(MapFilePath()).devices.empty());
  EXPECT_EQ(ResolveCom(1).source, Source::Default);
}

}  // namespace
}  // namespace zenor9::portmap
