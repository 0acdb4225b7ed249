#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace qv31 {

// The fixed choice lists of a serial line, for the link itself and for the gateway's four
// ports. Their order is part of the parameter image's code mapping (baud code = position + 3)
// and must not change.
constexpr std::array<std::string_view, 9> BAUD_TEXTS = {"1200",  "2400",  "4800",  "9600",  "14400",
                                                        "19200", "38400", "57600", "115200"};
constexpr std::array<std::string_view, 6> FORMAT_TEXTS = {"n,8,1", "o,8,1", "e,8,1",
                                                          "n,8,2", "o,8,2", "e,8,2"};

// "a b c": a choice list in a message or a help text.
inline std::string JoinTexts(std::span<const std::string_view> texts,
                             std::string_view separator = " ") {
  std::string joined;
  for (const std::string_view t : texts) {
    if (!joined.empty()) joined += separator;
    joined += t;
  }
  return joined;
}

}  // namespace qv31
