#include "transport/block_assembler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qv31 {
namespace {

TEST(BlockAssembler, CutsAtTheQuietGap) {
  struct Step {
    uint32_t at;    // fake millisecond tick
    int32_t bytes;  // brought by the read; 0 is an empty read
  };
  const struct {
    const char* name;
    int32_t capacity;
    uint32_t gapMs;
    std::vector<Step> steps;
    std::vector<int32_t> blocks;  // lengths queued, in order
  } cases[] = {
      {"pause one short of the gap joins", 4096, 10, {{0, 3}, {9, 0}, {9, 2}, {18, 0}}, {}},
      {"pause of the gap splits", 4096, 10, {{0, 3}, {10, 0}, {10, 2}, {20, 0}}, {3, 2}},
      {"empty reads before any byte", 4096, 1, {{0, 0}, {50, 0}, {60, 4}, {61, 0}}, {4}},
      {"tick counter wraps", 4096, 10, {{0xFFFFFFF8u, 5}, {1, 0}, {2, 0}}, {5}},
      {"full block waits for its pause",
       8,
       5,
       {{0, 6}, {1, 2}, {3, 0}, {6, 0}, {7, 3}, {12, 0}},
       {8, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BlockAssembler block(c.capacity);
    FrameQueue out;
    uint8_t next = 0;
    for (const auto& s : c.steps) {
      if (s.bytes == 0) {
        block.CutIfQuiet(s.at, c.gapMs, out);
        continue;
      }
      ASSERT_LE(s.bytes, block.Room());
      for (int32_t i = 0; i < s.bytes; ++i) block.Tail()[i] = next++;
      block.Commit(s.bytes, s.at);
    }
    uint8_t expect = 0;
    for (const int32_t length : c.blocks) {
      uint8_t got[4096];
      ASSERT_EQ(out.Pop(sizeof got, got), length);
      for (int32_t i = 0; i < length; ++i) EXPECT_EQ(got[i], expect++);  // order kept
    }
    EXPECT_EQ(out.Count(), 0);
  }
}

}  // namespace
}  // namespace qv31
