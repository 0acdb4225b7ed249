#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv31 {

// The link's and the gateway ports' choice lists. Their order is part of the parameter
// image's code mapping and must not change.
constexpr std::array<std::string_view, 9> BAUD_TEXTS = {"1200",  "2400",  "4800",  "9600",  "14400",
                                                        "19200", "38400", "57600", "115200"};
constexpr std::array<std::string_view, 6> FORMAT_TEXTS = {"n,8,1", "o,8,1", "e,8,1",
                                                          "n,8,2", "o,8,2", "e,8,2"};

// The index of the first item equal to `text` (whole text, case-sensitive), else 0; -1 when
// the list is empty and nothing can be selected.
int32_t SelectComboText(std::span<const std::string> items, std::string_view text);
int32_t SelectComboText(std::span<const std::string_view> items, std::string_view text);

}  // namespace qv31
