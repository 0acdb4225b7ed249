// Feeds arbitrary format texts and rates (they come from the settings file) through the line
// settings, and arbitrary names through the port ordering.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "transport/line_termios.h"
#include "transport/port_discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t baud = 0;
  std::memcpy(&baud, data, 4);
  const std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);
  qv31::LineTermios current;
  current.cflag = baud ^ 0x5A5A5A5Au;
  const qv31::LineFormat format = qv31::ParseFormatText(text);
  const qv31::LineSettings s =
      qv31::DescribeLineTermios(qv31::ComposeLineTermios(current, baud, format));
  // What was asked for must be what the bits say.
  if (s.format.parity != format.parity || s.format.stopBits != format.stopBits || !s.raw ||
      s.flowControl || (format.dataBits != 0 && s.format.dataBits != format.dataBits) ||
      (baud != 0 && s.baud != baud)) {
    std::abort();
  }
  const std::string_view a = text.substr(0, text.size() / 2);
  const std::string_view b = text.substr(text.size() / 2);
  if (qv31::NaturalLess(a, a) || (qv31::NaturalLess(a, b) && qv31::NaturalLess(b, a))) {
    std::abort();
  }
  return 0;
}
