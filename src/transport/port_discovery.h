#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv31 {

// The system's serial ports as device paths ("/dev/ttyUSB0"), found under
// `sysRoot`/class/tty: every terminal backed by a device (USB adapters, CDC-ACM modems,
// on-board UARTs such as ttyAMA or ttymxc), but not virtual consoles or pseudo-terminals, and
// not the placeholder ttyS entries of UARTs that are not fitted. One path per entry, in
// natural order (ttyS2 before ttyS10). An unreadable tree gives an empty list.
std::vector<std::string> DiscoverSerialPorts(std::string_view sysRoot = "/sys");

// What the adapter behind a port says of itself, from the USB device above it in `sysRoot`:
// manufacturer, product and serial number joined by blanks ("FTDI FT232R USB UART A10KZP3X");
// empty for a port without such attributes (an on-board UART, a pseudo-terminal).
std::string PortDescription(std::string_view devicePath, std::string_view sysRoot = "/sys");

// The programs that hold `devicePath` open, from `procRoot`: "ModemManager (pid 812)", one
// per process. Processes this user may not look into are not seen.
std::vector<std::string> PortHolders(std::string_view devicePath,
                                     std::string_view procRoot = "/proc");

// Whether the user may reach a device through its group.
struct DeviceGroupAccess {
  std::string group;    // the device's group by name; empty when unknown
  bool inSession;       // this process holds the group now
  bool inUserDatabase;  // the user is a member, perhaps from a later login
};
DeviceGroupAccess DeviceGroupOf(const std::string& devicePath);

// Natural order of names: runs of digits compare by value, everything else byte by byte.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace qv31
