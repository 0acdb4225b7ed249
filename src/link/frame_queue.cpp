#include "link/frame_queue.h"

#include <algorithm>

namespace qv31 {

int32_t FrameQueue::Push(int32_t length, const uint8_t* source) {
  if (source == nullptr || length < 1) return -1;
  std::vector<uint8_t> block(source, source + length);
  std::lock_guard lock(mutex_);
  blocks_.push_back(std::move(block));
  return length;
}

int32_t FrameQueue::Pop(int32_t maximum, uint8_t* destination) {
  if (destination == nullptr || maximum < 1) return -1;
  std::vector<uint8_t> block;
  {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) return 0;
    block = std::move(blocks_.front());
    blocks_.pop_front();
  }
  const auto n = std::min<size_t>(block.size(), static_cast<size_t>(maximum));
  std::copy_n(block.begin(), n, destination);
  return static_cast<int32_t>(n);
}

int32_t FrameQueue::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(blocks_.size());
}

void FrameQueue::Clear() {
  std::lock_guard lock(mutex_);
  blocks_.clear();
}

}  // namespace qv31
