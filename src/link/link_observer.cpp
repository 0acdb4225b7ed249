#include "link/link_observer.h"

#include <algorithm>
#include <array>

namespace qv31 {

BlockFate CheckedFate(std::span<const uint8_t> block) {
  if (block.size() < 2) return BlockFate::TooShort;
  const size_t body = block.size() - FRAME_CRC_SIZE;
  if (block.size() > LINK_BUFFER_SIZE ||
      !CheckFrameCrc(block.data(), static_cast<uint16_t>(body), block[body], block[body + 1])) {
    return BlockFate::BadCrc;
  }
  for (size_t i = 0; i < LinkPreamble.size(); ++i) {
    if (i >= block.size() || block[i] != LinkPreamble[i]) return BlockFate::BadPreamble;
  }
  return BlockFate::Completed;
}

std::span<const uint8_t> ReceivedBytes(const uint8_t* buffer, int32_t length) {
  return {buffer, static_cast<size_t>(std::clamp<int32_t>(length, 0, LINK_BUFFER_SIZE))};
}

BlockFate DrainedFate(std::span<const uint8_t> block) {
  const BlockFate checked = CheckedFate(block);
  return checked == BlockFate::Completed ? BlockFate::Unmatched : checked;
}

}  // namespace qv31
