#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/link_observer.h"

// The traffic record's texts: the window's monitor and the command line's --trace print the
// same line for the same block.
namespace qv31 {

// The header as read from the block's first 14 bytes ("区1 读 地址6 长度320"); empty for a
// block shorter than a header.
std::string DescribeHeader(std::span<const uint8_t> block);
std::string_view FateText(BlockFate fate);

// One line of the traffic record: time in ms since `sinceMs`, direction, length, the header,
// the fate and the bytes in hexadecimal.
std::string TraceLine(const LinkEvent& event, uint32_t sinceMs);

}  // namespace qv31
