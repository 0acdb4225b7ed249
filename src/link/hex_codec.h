#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv31 {

// Bytes as upper-case hexadecimal digit pairs, `separator` between pairs ("0A 1B" with " ").
std::string HexText(std::span<const uint8_t> bytes, std::string_view separator = " ");

// Appends the bytes of digit pairs (either case) to `out`; blanks and tabs may stand between
// pairs, never inside one. False for any other character or an odd digit.
bool DecodeHex(std::string_view text, std::vector<uint8_t>& out);

}  // namespace qv31
