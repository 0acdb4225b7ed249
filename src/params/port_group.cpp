#include "params/port_group.h"

#include "params/param_codes.h"

namespace qv31 {

int32_t StorePortControls(const PortControls& c, ParamBlock& block, int port) {
  if (PortAddress(port) < 0) return -1;
  int32_t taken = 0;
  if (const int32_t code = BaudCodes().CodeOf(c.baudPosition); code >= 0) {
    block.SetBaudCode(port, static_cast<uint8_t>(code));
    ++taken;
  }
  if (const int32_t code = FormatCodes().CodeOf(c.formatPosition); code >= 0) {
    block.SetFormatCode(port, static_cast<uint8_t>(code));
    ++taken;
  }
  return taken;
}

PortControls PortControlsOf(const ParamBlock& block, int port) {
  PortControls c;
  if (PortAddress(port) < 0) return c;
  c.baudPosition = BaudCodes().PositionOf(block.BaudCode(port));
  c.formatPosition = FormatCodes().PositionOf(block.FormatCode(port));
  return c;
}

}  // namespace qv31
