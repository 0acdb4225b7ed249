#include "transport/block_assembler.h"

#include <algorithm>

namespace qv31 {

BlockAssembler::BlockAssembler(int32_t capacity)
    : buffer_(static_cast<size_t>(std::max(capacity, 1))) {}

void BlockAssembler::Commit(int32_t count, uint32_t nowMs) {
  if (count <= 0) return;
  count_ = std::min(count_ + count, static_cast<int32_t>(buffer_.size()));
  lastDataMs_ = nowMs;
}

int32_t BlockAssembler::CutIfQuiet(uint32_t nowMs, uint32_t gapMs, FrameQueue& out) {
  // Unsigned difference: the tick counter's wrap is harmless.
  if (nowMs - lastDataMs_ < gapMs) return 0;
  return Cut(out);
}

int32_t BlockAssembler::Cut(FrameQueue& out) {
  if (count_ == 0) return 0;
  const int32_t length = out.Push(count_, buffer_.data());
  count_ = 0;
  return length;
}

}  // namespace qv31
