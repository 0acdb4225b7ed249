#pragma once

#include <cstdint>
#include <vector>

#include "link/group_table.h"

namespace qv31 {

// What became of one write of an exchange that did not finish.
enum class WriteFate : uint8_t {
  Written,         // acknowledged
  Unacknowledged,  // sent (perhaps repeated), never acknowledged: perhaps written
  NotWritten,      // never sent
};

struct WriteEntry {
  GroupId group;
  int tableBlock;  // 0..3 for the table's writes, else -1
  WriteFate fate;
  bool operator==(const WriteEntry&) const = default;
};

// The writes among `frames` (the frames of one exchange in queue order; reads are left out),
// given that the first `answered` frames were answered and, when `unanswered`, the next one
// was sent and never answered.
std::vector<WriteEntry> AccountWrites(const std::vector<std::vector<uint8_t>>& frames, int answered,
                                      bool unanswered);

}  // namespace qv31
