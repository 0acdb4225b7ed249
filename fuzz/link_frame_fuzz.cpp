// Feeds arbitrary blocks through validation and reply matching.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "link/accepted_replies.h"
#include "link/link_frame.h"

namespace {
uint8_t g_sink;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::array<uint8_t, qv31::LINK_BUFFER_SIZE> buffer{};
  const size_t n = std::min(size, buffer.size());
  std::memcpy(buffer.data(), data, n);
  if (const auto h = qv31::ValidateBlock(buffer.data(), static_cast<int32_t>(n))) {
    if (const qv31::AcceptedReply* row = qv31::MatchAcceptedReply(*h)) {
      // Touch every payload byte the row would store, so ASan sees any overrun.
      uint8_t sum = 0;
      for (uint32_t i = 0; row->target != qv31::ReplyTarget::None && i < row->length; ++i) {
        sum = static_cast<uint8_t>(sum + buffer[qv31::FRAME_HEADER_SIZE + i]);
      }
      g_sink = sum;
    }
  }
  return 0;
}
