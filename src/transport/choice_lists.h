#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/choice_texts.h"

namespace qv31 {

// The index of the first item equal to `text` (whole text, case-sensitive), else 0; -1 when
// the list is empty and nothing can be selected.
int32_t SelectComboText(std::span<const std::string> items, std::string_view text);
int32_t SelectComboText(std::span<const std::string_view> items, std::string_view text);

}  // namespace qv31
