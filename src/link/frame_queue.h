#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace qv31 {

// First-in first-out queue of byte blocks. Blocks are copied in and copied out, never shared.
// One lock per queue makes it safe between one producer and one consumer thread.
class FrameQueue {
 public:
  // -1 for a null source or a length below 1; otherwise queues a copy and returns length.
  int32_t Push(int32_t length, const uint8_t* source);
  // -1 for a null destination or a maximum below 1; 0 when empty; otherwise copies at most
  // `maximum` bytes of the oldest block, drops that block (the rest of it is lost) and
  // returns the count copied.
  int32_t Pop(int32_t maximum, uint8_t* destination);
  int32_t Count() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<std::vector<uint8_t>> blocks_;
};

}  // namespace qv31
