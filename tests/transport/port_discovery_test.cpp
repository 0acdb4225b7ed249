#include "transport/port_discovery.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "transport/choice_lists.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

struct Entry {
  const char* name;
  bool device;
  const char* type;  // the serial core's UART type, nullptr when the driver has none
};

TEST(PortDiscovery, FindsRealSerialPortsInNaturalOrder) {
  char root[] = "/tmp/qv31-sys-XXXXXX";
  ASSERT_NE(::mkdtemp(root), nullptr);
  const fs::path tty = fs::path(root) / "class" / "tty";
  const Entry entries[] = {
      {"ttyS10", true, "4"},       {"ttyS2", true, "4"},       {"ttyS1", true, "0"},
      {"ttyS0", true, "4"},        {"ttyUSB0", true, nullptr}, {"ttyACM1", true, nullptr},
      {"ttyAMA0", true, "83"},     {"ttymxc0", true, "76"},    {"tty0", false, nullptr},
      {"console", false, nullptr}, {"ptmx", false, nullptr},   {"ttyUSB10", true, nullptr},
      {"ttyUSB9", true, nullptr},
  };
  for (const auto& e : entries) {
    fs::create_directories(tty / e.name);
    if (e.device) fs::create_directories(fs::path(root) / "devices" / e.name);
    if (e.device)
      fs::create_directory_symlink(fs::path(root) / "devices" / e.name, tty / e.name / "device");
    if (e.type) std::ofstream(tty / e.name / "type") << e.type << "\n";
  }
  EXPECT_EQ(DiscoverSerialPorts(root),
            (std::vector<std::string>{"/dev/ttyACM1", "/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS2",
                                      "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB9",
                                      "/dev/ttyUSB10", "/dev/ttymxc0"}));
  EXPECT_TRUE(DiscoverSerialPorts(std::string(root) + "/nothing").empty());
  fs::remove_all(root);
}

TEST(ChoiceLists, SelectComboText) {
  const std::vector<std::string> ports = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB0"};
  struct Case {
    std::span<const std::string_view> items;
    const char* text;
    int32_t index;
  } cases[] = {
      {BAUD_TEXTS, "9600", 3},     {BAUD_TEXTS, "14400", 4},   {BAUD_TEXTS, "9601", 0},
      {BAUD_TEXTS, "", 0},         {FORMAT_TEXTS, "e,8,2", 5}, {FORMAT_TEXTS, "E,8,2", 0},
      {FORMAT_TEXTS, "n,8,1 ", 0}, {{}, "9600", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(SelectComboText(c.items, c.text), c.index) << c.text;
  EXPECT_EQ(SelectComboText(ports, "/dev/ttyUSB0"), 1);
}

}  // namespace
}  // namespace qv31
