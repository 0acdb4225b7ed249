#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace qv31 {

// The temporary outputs to remove should an interrupt kill the process: one slot per file being
// written, so gateways backed up side by side each have theirs. The signal handler walks the
// slots with atomic loads only; a slot is readable once armed.
template <typename Char, size_t PathMax, size_t Count = 128>
class RemovalSlots {
 public:
  // Arms a free slot with `path` (length characters, no terminator); -1 when the path is too
  // long or every slot is taken.
  int Arm(const Char* path, size_t length) {
    if (length == 0 || length >= PathMax) return -1;
    for (size_t i = 0; i < Count; ++i) {
      int free = FREE;
      if (!state_[i].compare_exchange_strong(free, FILLING)) continue;
      for (size_t k = 0; k < length; ++k) paths_[i][k] = path[k];
      paths_[i][length] = Char{};
      state_[i].store(ARMED);
      return static_cast<int>(i);
    }
    return -1;
  }
  void Disarm(int slot) {
    if (slot < 0 || static_cast<size_t>(slot) >= Count) return;
    state_[static_cast<size_t>(slot)].store(FREE);
  }
  // Calls remove(path) for every armed slot; safe in a signal handler.
  template <typename Remove>
  void RemoveAll(Remove remove) const {
    for (size_t i = 0; i < Count; ++i) {
      if (state_[i].load() == ARMED) remove(paths_[i].data());
    }
  }

 private:
  enum : int { FREE, FILLING, ARMED };
  static_assert(std::atomic<int>::is_always_lock_free);
  std::array<std::atomic<int>, Count> state_{};
  std::array<std::array<Char, PathMax>, Count> paths_{};
};

}  // namespace qv31
