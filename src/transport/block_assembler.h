#pragma once

#include <cstdint>
#include <vector>

#include "link/frame_queue.h"

namespace qv31 {

// Gathers the bytes read from a serial line into blocks. A block is a run of bytes without a
// pause of the gap time or more; it ends at the first empty read once the line has been quiet
// that long, and never grows beyond the capacity: a full block takes no more bytes and still
// waits for its pause, while later bytes stay in the system's input queue for the next block.
class BlockAssembler {
 public:
  explicit BlockAssembler(int32_t capacity);

  // Where the next read goes, and how many bytes it may bring (0 when the block is full).
  uint8_t* Tail() { return buffer_.data() + count_; }
  int32_t Room() const { return static_cast<int32_t>(buffer_.size()) - count_; }
  int32_t Count() const { return count_; }

  // A read brought `count` bytes at `nowMs` (a wrapping millisecond tick).
  void Commit(int32_t count, uint32_t nowMs);
  // A read brought nothing at `nowMs`. When a block is open and the line has been quiet for
  // `gapMs` or more, queues the block on `out` and starts afresh; returns the length queued,
  // else 0.
  int32_t CutIfQuiet(uint32_t nowMs, uint32_t gapMs, FrameQueue& out);
  // Queues an open block on `out` now (the line itself saw the gap); returns the length queued.
  int32_t Cut(FrameQueue& out);

 private:
  std::vector<uint8_t> buffer_;
  int32_t count_ = 0;
  uint32_t lastDataMs_ = 0;
};

}  // namespace qv31
