#include "acq/acq_keys.h"

#include <array>

namespace qv31 {
namespace {

constexpr std::array<std::string_view, 4> kKeys = {"acq.enable", "acq.timeout_ms",
                                                   "acq.timeout_count", "acq.interval_ms"};

std::string* TextOf(AcqSettingsTexts& s, std::string_view key) {
  if (key == kKeys[1]) return &s.timeout;
  if (key == kKeys[2]) return &s.timeoutCount;
  if (key == kKeys[3]) return &s.interval;
  return nullptr;
}

}  // namespace

std::span<const std::string_view> AcqSettingKeys() { return kKeys; }

std::optional<std::string> GetAcqSettingText(const AcqGrid& grid, std::string_view key) {
  AcqSettingsTexts s = grid.Settings();
  if (key == kKeys[0]) return std::string(s.enableTicked ? "on" : "off");
  if (std::string* text = TextOf(s, key)) return *text;
  return std::nullopt;
}

int32_t SetAcqSettingText(AcqGrid& grid, std::string_view key, std::string_view value) {
  AcqSettingsTexts& s = grid.Settings();
  if (key == kKeys[0]) {
    if (value != "on" && value != "off") return -1;
    s.enableTicked = value == "on";
    return 1;
  }
  std::string* text = TextOf(s, key);
  if (text == nullptr) return -1;
  *text = value;
  return 1;
}

}  // namespace qv31
