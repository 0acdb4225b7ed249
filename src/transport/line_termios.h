#pragma once

#include <array>
#include <cstdint>

#include "transport/serial_line.h"

namespace qv31 {

// The kernel's termios2 record, field for field, with the flag values of <asm/termbits.h>.
// Kept as plain integers so that the settings we write can be checked without a device:
// a pseudo-terminal forces 8 data bits and no parity whatever is set.
struct LineTermios {
  uint32_t iflag = 0;
  uint32_t oflag = 0;
  uint32_t cflag = 0;
  uint32_t lflag = 0;
  uint8_t line = 0;
  std::array<uint8_t, 19> cc{};
  uint32_t ispeed = 0;
  uint32_t ospeed = 0;
};

// The settings Open writes: `current` with raw mode, no flow control, the receiver on, the
// rate and the frame format applied. A baud of 0 keeps the current rate (0 would hang the line
// up); a rate without a B constant, 14400 among them, is set as a number.
LineTermios ComposeLineTermios(const LineTermios& current, uint32_t baud, LineFormat format);
LineSettings DescribeLineTermios(const LineTermios& termios);

// Puts a terminal descriptor (for example the slave side of a pseudo-terminal) into raw mode:
// no echo, no line editing, no translation. False when it is not a terminal.
bool MakeRawTerminal(int fd);

}  // namespace qv31
