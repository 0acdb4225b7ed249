#pragma once

#include <cstdint>
#include <string>

namespace qv31 {

// A byte stream the simulator serves: its side of a pseudo-terminal, or a serial device.
// Reads and writes never block.
class ByteLine {
 public:
  virtual ~ByteLine() = default;
  // For poll(); -1 when closed.
  virtual int Fd() const = 0;
  // What arrived, at most `maximum` bytes: the count, 0 when nothing is there, -1 when the
  // line is gone for good.
  virtual int32_t Read(uint8_t* buffer, int32_t maximum) = 0;
  // As many bytes as the line takes now: the count (possibly 0), -1 when the line is gone.
  virtual int32_t Write(const uint8_t* data, int32_t length) = 0;
  // "pty /dev/pts/7", "serial /dev/ttyUSB0"
  virtual std::string Name() const = 0;
};

}  // namespace qv31
