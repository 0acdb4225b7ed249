#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "acq/acq_grid.h"

namespace qv31 {

// The acquisition settings under their command-line names: "acq.enable" (on/off),
// "acq.timeout_ms", "acq.timeout_count", "acq.interval_ms".
std::span<const std::string_view> AcqSettingKeys();

// The setting's text as the window shows it; nullopt for an unknown key.
std::optional<std::string> GetAcqSettingText(const AcqGrid& grid, std::string_view key);
// Sets the text as the window's edit takes it (no range check; the tick takes "on" or "off").
// -1 for an unknown key or a tick value other than on/off, else 1.
int32_t SetAcqSettingText(AcqGrid& grid, std::string_view key, std::string_view value);

}  // namespace qv31
