#include "transport/port_discovery.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "transport/choice_lists.h"
#include "transport/link_transport.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

TEST(PortDiscovery, FindsRealSerialPortsInNaturalOrder) {
  char root[] = "/tmp/qv31-sys-XXXXXX";
  ASSERT_NE(::mkdtemp(root), nullptr);
  // {name, has a device, the serial core's UART type ("0": no UART there) or nullptr}
  const std::tuple<const char*, bool, const char*> entries[] = {
      {"ttyS10", true, "4"},      {"ttyS2", true, "4"},       {"ttyS1", true, "0"},
      {"ttyUSB0", true, nullptr}, {"ttyACM1", true, nullptr}, {"ttyAMA0", true, "83"},
      {"tty0", false, nullptr},
  };
  for (const auto& [name, hasDevice, type] : entries) {
    const fs::path entry = fs::path(root) / "class" / "tty" / name;
    const fs::path device = fs::path(root) / "devices" / name;
    fs::create_directories(entry);
    if (hasDevice) fs::create_directories(device);
    if (hasDevice) fs::create_directory_symlink(device, entry / "device");
    if (type) std::ofstream(entry / "type") << type << "\n";
  }
  EXPECT_EQ(DiscoverSerialPorts(root),
            (std::vector<std::string>{"/dev/ttyACM1", "/dev/ttyAMA0", "/dev/ttyS2", "/dev/ttyS10",
                                      "/dev/ttyUSB0"}));
  EXPECT_TRUE(DiscoverSerialPorts(std::string(root) + "/nothing").empty());
  fs::remove_all(root);
}

TEST(PortDiscovery, DescriptionFromTheUsbDeviceAbove) {
  char root[] = "/tmp/qv31-sys-XXXXXX";
  ASSERT_NE(::mkdtemp(root), nullptr);
  const fs::path usb = fs::path(root) / "devices" / "usb1" / "1-1";
  const fs::path tty = usb / "1-1:1.0" / "ttyUSB0";
  fs::create_directories(tty);
  std::ofstream(usb / "manufacturer") << "FTDI\n";
  std::ofstream(usb / "product") << "FT232R USB UART\n";
  std::ofstream(usb / "serial") << "A10KZP3X\n";
  fs::create_directories(fs::path(root) / "class" / "tty" / "ttyUSB0");
  fs::create_directory_symlink(tty, fs::path(root) / "class" / "tty" / "ttyUSB0" / "device");
  fs::create_directories(fs::path(root) / "class" / "tty" / "ttyS0" / "device");
  EXPECT_EQ(PortDescription("/dev/ttyUSB0", root), "FTDI FT232R USB UART A10KZP3X");
  EXPECT_EQ(PortDescription("/dev/ttyS0", root), "");
  EXPECT_EQ(PortDescription("/dev/pts/3", root), "");
  fs::remove_all(root);
}

TEST(PortDiscovery, ABusyPortNamesTheProgramHoldingIt) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  LinkTransport holder;
  ASSERT_TRUE(holder.OpenSerial(SerialLinkFromTexts(pty.slavePath, "9600", "n,8,1", "0")));
  LinkTransport second;
  ASSERT_FALSE(second.OpenSerial(SerialLinkFromTexts(pty.slavePath, "9600", "n,8,1", "0")));
  const std::string self = "(pid " + std::to_string(::getpid()) + ")";
  const LinkOpenError error = second.OpenError();
  EXPECT_EQ(error.port, PortError::Busy);
  ASSERT_EQ(error.holders.size(), 1u);
  EXPECT_NE(error.holders[0].find(self), std::string::npos) << error.holders[0];
  EXPECT_TRUE(PortHolders("/dev/qv31-none").empty());
}

// The group of a device file and whether this process holds it.
TEST(DeviceGroup, OfAFileThisProcessMade) {
  // This process's own group, as a file it made has it.
  const std::string path = ::testing::TempDir() + "qv31-group-probe";
  std::ofstream(path).put('x');
  const DeviceGroupAccess own = DeviceGroupOf(path);
  EXPECT_FALSE(own.group.empty());
  EXPECT_TRUE(own.inSession);
  EXPECT_TRUE(own.inUserDatabase);
  std::remove(path.c_str());
}

TEST(ChoiceLists, SelectComboText) {
  const std::string_view ports[] = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB0"};
  const std::tuple<std::span<const std::string_view>, const char*, int32_t> cases[] = {
      {BAUD_TEXTS, "9600", 3},    {BAUD_TEXTS, "9600 ", 0},   {BAUD_TEXTS, "960", 0},
      {FORMAT_TEXTS, "e,8,2", 5}, {FORMAT_TEXTS, "E,8,2", 0}, {ports, "/dev/ttyUSB0", 1},
      {{}, "9600", -1},
  };
  for (const auto& [items, text, index] : cases)
    EXPECT_EQ(SelectComboText(items, text), index) << text;
}

}  // namespace
}  // namespace qv31
