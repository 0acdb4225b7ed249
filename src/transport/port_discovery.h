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

// Natural order of names: runs of digits compare by value, everything else byte by byte.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace qv31
