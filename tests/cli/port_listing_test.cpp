// The port listing on a made-up sysfs tree: which ttys count as serial ports,
// their drivers, their /dev/serial/by-id names, and their order.
#include "cli/port_listing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace zenor9::cli {
namespace {

namespace fs = std::filesystem;

class PortListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("zenor9-ports-" + std::to_string(::getpid()));
    fs::create_directories(root / "drivers");
    fs::create_directories(root / "by-id");
  }
  void TearDown() override { fs::remove_all(root); }

  // A tty in the class directory; an empty driver leaves the device link out.
  void AddTty(const std::string& name, const std::string& driver, const char* uartType = nullptr) {
    const fs::path dir = root / "class" / name;
    fs::create_directories(dir / "device");
    if (!driver.empty())
      fs::create_directory_symlink(root / "drivers" / driver, dir / "device" / "driver");
    if (uartType != nullptr) std::ofstream(dir / "type") << uartType << "\n";
  }

  fs::path root;
};

TEST_F(PortListingTest, ListsSerialTtysWithDriversAndByIdNamesInNaturalOrder) {
  AddTty("ttyS10", "serial8250", "4");
  AddTty("ttyS2", "serial8250", "4");
  AddTty("ttyS1", "serial8250", "0");  // no UART behind it
  AddTty("ttyUSB0", "ftdi_sio");
  AddTty("ttyACM0", "");  // no driver bound
  AddTty("tty0", "vt");
  AddTty("ttyS2x", "serial8250", "4");
  fs::create_symlink("../../ttyUSB0", root / "by-id" / "usb-FTDI_FT232R_A1-if00-port0");
  fs::create_symlink("../../ttyUSB9", root / "by-id" / "usb-gone-if00-port0");

  const std::vector<SerialPortInfo> ports = ListSerialPorts(root / "class", root / "by-id");

  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0].name, "ttyS2");
  EXPECT_EQ(ports[1].name, "ttyS10");
  EXPECT_EQ(ports[2].name, "ttyUSB0");
  EXPECT_EQ(ports[0].driver, "serial8250");
  EXPECT_EQ(ports[2].driver, "ftdi_sio");
  EXPECT_TRUE(ports[0].byIdNames.empty());
  ASSERT_EQ(ports[2].byIdNames.size(), 1u);
  EXPECT_EQ(ports[2].byIdNames[0], (root / "by-id" / "usb-FTDI_FT232R_A1-if00-port0").string());
}

// Linux 6.3 and later: a UART's tty device is the serial core's "port" device
// under its "ctrl" device, both on the serial-base bus; the hardware's driver
// is the one above them, and when there is none the driver is not known.
TEST_F(PortListingTest, TheHardwaresDriverIsFoundAboveTheSerialCoresOwnDevices) {
  const auto bind = [this](const fs::path& device, const std::string& bus,
                           const std::string& driver) {
    fs::create_directories(root / "bus" / bus / "drivers" / driver);
    fs::create_directory_symlink(root / "bus" / bus / "drivers" / driver, device / "driver");
  };
  for (const char* name : {"ttyS0", "ttyS1"}) {
    const fs::path hardware = root / "devices" / name;
    const fs::path port = hardware / "ctrl" / "port";
    fs::create_directories(port);
    bind(port, "serial-base", "port");
    bind(hardware / "ctrl", "serial-base", "ctrl");
    if (std::string(name) == "ttyS0") bind(hardware, "pnp", "serial");
    fs::create_directories(root / "class" / name);
    fs::create_directory_symlink(port, root / "class" / name / "device");
  }

  const std::vector<SerialPortInfo> ports = ListSerialPorts(root / "class", root / "by-id");

  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].driver, "serial");
  EXPECT_EQ(ports[1].driver, "");  // listed, its driver unknown rather than "port"
}

TEST_F(PortListingTest, MissingDirectoriesGiveAnEmptyList) {
  EXPECT_TRUE(ListSerialPorts(root / "nothing", root / "nothing-either").empty());
}

}  // namespace
}  // namespace zenor9::cli
