#include <gtest/gtest.h>

#include <tuple>

#include "transport/block_assembler.h"
#include "transport/link_transport.h"
#include "transport/serial_port.h"

namespace qv31 {
namespace {

// Blocks of at most 8 bytes cut on a fake millisecond tick with a gap of 10 ms.
TEST(LinkRules, BlocksAreCutAtTheQuietGap) {
  // {name, reads as {tick, bytes brought; 0: an empty read}, lengths queued in order}
  const std::tuple<const char*, std::vector<std::pair<uint32_t, int32_t>>, std::vector<int32_t>>
      cases[] = {
          {"pause one short of the gap joins", {{0, 3}, {9, 0}, {9, 2}, {18, 0}}, {}},
          {"pause of the gap splits", {{0, 3}, {10, 0}, {10, 2}, {20, 0}}, {3, 2}},
          {"tick counter wraps", {{0xFFFFFFF8u, 5}, {1, 0}, {2, 0}}, {5}},
          {"full block waits", {{0, 6}, {1, 2}, {5, 0}, {11, 0}, {12, 3}, {22, 0}}, {8, 3}},
      };
  for (const auto& [name, reads, blocks] : cases) {
    SCOPED_TRACE(name);
    BlockAssembler block(8);
    FrameQueue out;
    uint8_t next = 0;
    for (const auto& [at, bytes] : reads) {
      ASSERT_LE(bytes, block.Room());
      for (int32_t i = 0; i < bytes; ++i) block.Tail()[i] = next++;
      if (bytes > 0) block.Commit(bytes, at);
      if (bytes == 0) block.CutIfQuiet(at, 10, out);
    }
    uint8_t expect = 0;
    for (const int32_t length : blocks) {
      uint8_t got[8];
      ASSERT_EQ(out.Pop(sizeof got, got), length);
      for (int32_t i = 0; i < length; ++i) EXPECT_EQ(got[i], expect++);  // order kept
    }
    EXPECT_EQ(out.Count(), 0);
  }
}

TEST(LinkRules, GapAndReplyTimeoutFromBaud) {
  const std::pair<uint32_t, uint32_t> gaps[] = {{0, 100},  {2399, 100}, {2400, 50}, {4799, 50},
                                                {4800, 5}, {19199, 5},  {19200, 1}, {115200, 1}};
  for (const auto& [baud, gap] : gaps) EXPECT_EQ(GapMsForBaud(baud), gap) << baud;
  const std::pair<const char*, int32_t> timeouts[] = {{"9599", 10000},  {"9600", 2000},
                                                      {"115199", 2000}, {"115200", 500},
                                                      {"", 10000},      {"-9600", 10000}};
  for (const auto& [text, ms] : timeouts) {
    EXPECT_EQ(ReplyTimeoutMsForBaud(SerialLinkFromTexts("", text, "", "").baud), ms) << text;
  }
}

}  // namespace
}  // namespace qv31
