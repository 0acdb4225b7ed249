#include "params/four_g_group.h"

#include <algorithm>
#include <string_view>

#include "text/gbk.h"
#include "text/number_text.h"

namespace qv31 {

void Store4GControls(const FourGControls& c, ParamBlock& block) {
  block.SetStationNo(LeadingDecimal16(c.station));
  const int32_t group = LeadingDecimal32(c.group);
  block.SetGroupNo(group);
  block.SetGroupFlag(group != 0 ? 1 : 0);
  block.SetLogOutput(c.logTicked ? LOG_ON : LOG_OFF);
}

FourGControls FourGControlsOf(const ParamBlock& block) {
  FourGControls c;
  c.station = std::to_string(block.StationNo());
  c.group = std::to_string(block.GroupNo());
  c.logTicked = block.LogOutput() > LOG_TICKED_ABOVE;
  return c;
}

std::string VersionText(std::span<const uint8_t> payload, size_t maxBytes) {
  return GbkFieldText(payload, maxBytes);
}

}  // namespace qv31
