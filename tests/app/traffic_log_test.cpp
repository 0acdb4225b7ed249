#include "app/traffic_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "file_bytes.h"

namespace qv31 {
namespace {

LinkEvent Event(uint32_t ms, const std::vector<uint8_t>& bytes, BlockFate fate = BlockFate::Sent) {
  return {ms, true, bytes, fate};
}

TEST(TrafficLog, KeepsTheNewestRowsUpToItsLimitAndCountsFromTheOpen) {
  TrafficLog log(3);
  log.SetEpoch(1000);
  for (uint8_t i = 0; i < 5; ++i) log.OnLinkEvent(Event(1000 + i * 10u, {i}));
  EXPECT_EQ(log.Size(), 3u);
  EXPECT_EQ(log.FirstIndex(), 2u);
  EXPECT_EQ(log.EndIndex(), 5u);
  EXPECT_EQ(log.Row(2).bytes, std::vector<uint8_t>{2});
  EXPECT_EQ(log.Row(4).ms, 40u);

  log.SetPaused(true);
  log.OnLinkEvent(Event(2000, {9}));
  EXPECT_EQ(log.EndIndex(), 5u) << "nothing recorded while paused";
  log.SetPaused(false);
  log.Clear();
  EXPECT_EQ(log.Size(), 0u);
  EXPECT_EQ(log.FirstIndex(), log.EndIndex()) << "numbering goes on after a clear";
}

TEST(TrafficLog, SavesEveryKeptRowAsItsTraceLine) {
  TempDir dir("qv31-traffic");
  TrafficLog log;
  const std::vector<uint8_t> shortBlock = {0x55};
  log.OnLinkEvent(Event(5, {0xAA, 0x01}));
  log.OnLinkEvent({7, false, shortBlock, BlockFate::TooShort});
  ASSERT_TRUE(log.SaveText(dir.Path("t.txt")));
  std::ifstream in(dir.Path("t.txt"));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), log.Line(0) + "\n" + log.Line(1) + "\n");
  EXPECT_NE(log.Line(1).find("55"), std::string::npos);
  EXPECT_FALSE(log.SaveText(dir.Path("no/such/dir/t.txt")));
}

}  // namespace
}  // namespace qv31
