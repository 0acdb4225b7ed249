#pragma once

#include <cstdint>
#include <string_view>

namespace qv31 {

// The number rule every text field follows: leading blanks, an optional sign, then decimal
// digits up to the first other character; no digits gives 0. The result is the value's low
// 64 bits in two's complement, so cutting it to a field's width keeps exactly the low bits
// of the number as written, however long the digit run is.
uint64_t LeadingDecimalBits(std::string_view text);

// The same value as a signed number, saturated to the 64-bit range, for places where a text
// is shown as a number without being cut to a field's width.
int64_t LeadingDecimal(std::string_view text);

inline uint8_t LeadingDecimal8(std::string_view text) {
  return static_cast<uint8_t>(LeadingDecimalBits(text));
}
inline uint16_t LeadingDecimal16(std::string_view text) {
  return static_cast<uint16_t>(LeadingDecimalBits(text));
}
inline int32_t LeadingDecimal32(std::string_view text) {
  return static_cast<int32_t>(static_cast<uint32_t>(LeadingDecimalBits(text)));
}

}  // namespace qv31
