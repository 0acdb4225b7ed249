#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qv31 {

// A code byte of the image shown as a position in a fixed choice list. Writing takes the code
// of the selected position; showing selects the position of the stored code, or nothing (-1)
// for a code without a list entry.
struct CodeTable {
  std::span<const std::string_view> texts;  // list order
  std::span<const uint8_t> codeOfPosition;  // code written for each list position
  std::span<const int8_t> positionOfCode;   // position shown for codes 0..size-1, -1 none

  int32_t CodeOf(int position) const;                   // -1 when the position is not in the list
  int32_t PositionOf(int code) const;                   // -1 for no selection
  std::string_view TextOf(int position) const;          // empty when not in the list
  int32_t PositionOfText(std::string_view text) const;  // exact match, else -1
  std::string_view TextOfCode(int code) const { return TextOf(PositionOf(code)); }
};

// Baud rate of a gateway serial port: code = list position + 3 ("1200" is 3, "115200" is 11).
const CodeTable& BaudCodes();
// Frame format: positions 0..5 ("n,8,1" .. "e,8,2") write 0, 1, 2, 5, 6, 7. Codes 3 and 4 are
// never written but show as "o,8,1" and "e,8,1"; codes above 7 show nothing.
const CodeTable& FormatCodes();
// Network channel protocol: code = position ("TCP Server", "TCP Client", "UDP Server",
// "UDP Client").
const CodeTable& ChannelProtocols();

}  // namespace qv31
