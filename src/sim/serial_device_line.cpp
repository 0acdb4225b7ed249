#include "sim/serial_device_line.h"

#include <string_view>

namespace qv31 {
namespace {

std::string_view ReasonWords(PortError error) {
  switch (error) {
    case PortError::Missing:
      return "no such device";
    case PortError::Busy:
      return "in use by another program";
    case PortError::PermissionDenied:
      return "permission denied";
    case PortError::NotSerial:
      return "not a serial device";
    default:
      return "system error";
  }
}

}  // namespace

int SerialDeviceLine::Open(const std::string& path, uint32_t baud, const std::string& format,
                           std::string& error) {
  if (line_.Open(path, baud, ParseFormatText(format))) return 1;
  error = "cannot open " + path + ": " + std::string(ReasonWords(line_.Error()));
  if (line_.ErrorNumber() != 0)
    error += " (system error " + std::to_string(line_.ErrorNumber()) + ")";
  return -1;
}

int32_t SerialDeviceLine::Read(uint8_t* buffer, int32_t maximum) {
  const int32_t n = line_.Read(buffer, maximum);
  return n == 0 && line_.Lost() ? -1 : n;
}

int32_t SerialDeviceLine::Write(const uint8_t* data, int32_t length) {
  // The event loop must not stall: what the driver does not take now waits for the next pass.
  const int32_t n = line_.Write(data, length, 0);
  return n == 0 && line_.Lost() ? -1 : n;
}

}  // namespace qv31
