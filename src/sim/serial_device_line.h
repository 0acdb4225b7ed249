#pragma once

#include <string>

#include "sim/byte_line.h"
#include "transport/serial_line.h"

namespace qv31 {

// A real serial device the simulator answers on, through the transport's line layer.
class SerialDeviceLine : public ByteLine {
 public:
  // 1 on success, -1 with `error` set (the operator's reason: missing, busy, permission).
  int Open(const std::string& path, uint32_t baud, const std::string& format, std::string& error);

  int Fd() const override { return line_.Fd(); }
  int32_t Read(uint8_t* buffer, int32_t maximum) override;
  int32_t Write(const uint8_t* data, int32_t length) override;
  std::string Name() const override { return "serial " + line_.Path(); }

 private:
  SerialLine line_;
};

}  // namespace qv31
