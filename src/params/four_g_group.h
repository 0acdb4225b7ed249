#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "params/param_block.h"

namespace qv31 {

// The "4G参数" group as texts and a tick, the way the window holds it.
struct FourGControls {
  std::string group;       // "组号"
  std::string station;     // "站点号"
  bool logTicked = false;  // "输出日志"
  bool operator==(const FourGControls&) const = default;
};

// Controls to image: station number (number rule, low 16 bits), group number (signed 32 bits),
// groupFlag (1 when the group is not 0), logOutput (LOG_ON when ticked, else LOG_OFF).
// word11, word13 and fixed4G are not touched.
void Store4GControls(const FourGControls& controls, ParamBlock& block);
// Image to controls; the log box is ticked for any value above 200.
FourGControls FourGControlsOf(const ParamBlock& block);

// The identity reply's text as the version box shows it: the bytes before the first zero,
// at most `maxBytes` of them (the box shows VERSION_TEXT_MAX) without splitting a GBK
// character, in UTF-8.
std::string VersionText(std::span<const uint8_t> identPayload, size_t maxBytes = VERSION_TEXT_MAX);

}  // namespace qv31
