#include "link/frame_queue.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace qv31 {
namespace {

TEST(FrameQueue, ResultsAndTruncation) {
  FrameQueue q;
  const uint8_t data[17] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  uint8_t out[32] = {};
  EXPECT_EQ(q.Push(0, data), -1);
  EXPECT_EQ(q.Push(-3, data), -1);
  EXPECT_EQ(q.Push(5, nullptr), -1);
  EXPECT_EQ(q.Count(), 0);
  EXPECT_EQ(q.Pop(10, out), 0);

  EXPECT_EQ(q.Push(17, data), 17);
  EXPECT_EQ(q.Push(3, data + 10), 3);
  EXPECT_EQ(q.Pop(0, out), -1);
  EXPECT_EQ(q.Pop(5, nullptr), -1);
  EXPECT_EQ(q.Count(), 2);
  EXPECT_EQ(q.Pop(10, out), 10);  // the rest of the 17-byte block is lost
  EXPECT_EQ(out[9], 10);
  EXPECT_EQ(q.Pop(32, out), 3);
  EXPECT_EQ(out[0], 11);
  EXPECT_EQ(q.Push(1, data), 1);
  q.Clear();
  EXPECT_EQ(q.Count(), 0);
}

TEST(FrameQueue, TwoThreadsLoseAndReorderNothing) {
  FrameQueue q;
  constexpr uint32_t kBlocks = 100000;
  std::thread producer([&] {
    for (uint32_t i = 0; i < kBlocks; ++i) {
      std::array<uint8_t, 5> b = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), 0xAA,
                                  uint8_t(i % 7)};
      ASSERT_EQ(q.Push(static_cast<int32_t>(1 + i % 5), b.data()), static_cast<int32_t>(1 + i % 5));
    }
  });
  uint32_t next = 0;
  std::array<uint8_t, 8> out{};
  while (next < kBlocks) {
    const int32_t n = q.Pop(static_cast<int32_t>(out.size()), out.data());
    if (n == 0) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(n, static_cast<int32_t>(1 + next % 5));
    ASSERT_EQ(out[0], uint8_t(next));
    if (n >= 3) {
      ASSERT_EQ(out[2], uint8_t(next >> 16));
    }
    ++next;
  }
  producer.join();
  EXPECT_EQ(q.Count(), 0);
}

}  // namespace
}  // namespace qv31
