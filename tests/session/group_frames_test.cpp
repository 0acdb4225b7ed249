#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "params/four_g_group.h"
#include "session/gateway_session.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

struct Parsed {
  FrameHeader header;
  Bytes payload;
};
// Splits a built frame into its header and payload, checking the preamble and CRC.
Parsed Parse(const Bytes& frame) {
  std::vector<uint8_t> buffer(LINK_BUFFER_SIZE, 0);
  std::copy(frame.begin(), frame.end(), buffer.begin());
  const auto h = ValidateBlock(buffer.data(), static_cast<int32_t>(frame.size()));
  EXPECT_TRUE(h.has_value());
  return {h.value_or(FrameHeader{}), Bytes(frame.begin() + FRAME_HEADER_SIZE, frame.end() - 2)};
}

struct NoTimers final : TimerService, SessionListener {
  void StartTimer(int, uint32_t) override {}
  void KillTimer(int) override {}
  void ReplyStored(const AcceptedReply&) override {}
  void ExchangeEnded(const ExchangeOutcome&) override {}
};

struct SessionRig {
  NoTimers fakes;
  GatewaySession session{fakes, [] { return 0u; }, fakes};
};

TEST(GroupFrames, Set4GReadsWord13FirstAndWritesTheOldWord13) {
  SessionRig rig;
  ParamBlock& block = rig.session.Params();
  Store4GControls({"1", "70000", true}, block);
  const Frames frames = rig.session.SetFrames(GroupId::FourG);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(Parse(frames[0]).header, (FrameHeader{AREA_PARAMS, OP_READ, 13, 2}));
  const Parsed write = Parse(frames[1]);
  EXPECT_EQ(write.header, (FrameHeader{AREA_PARAMS, OP_WRITE, 8, 15}));
  // station 70000 -> 4464 big-endian, flag, word11, word13 (zero before any read), group 1,
  // log on at address 19, then 05 03 32.
  EXPECT_EQ(write.payload, (Bytes{0x11, 0x70, 1, 0, 0, 0, 0, 0, 0, 0, 1, 205, 0x05, 0x03, 0x32}));
}

// "设置全部": ports 1 to 4, the 4G read and write, the network, the four table blocks.
TEST(GroupFrames, SetAllOrder) {
  SessionRig rig;
  std::vector<std::pair<uint8_t, uint16_t>> order;
  for (const GroupEntry& g : Groups()) {
    for (const auto& f : rig.session.SetFrames(g.id)) order.emplace_back(f[9], f[10] | f[11] << 8);
  }
  const std::vector<std::pair<uint8_t, uint16_t>> expected = {
      {OP_WRITE, 6},     {OP_WRITE, 320},   {OP_WRITE, 322},  {OP_WRITE, 324},
      {OP_READ, 13},     {OP_WRITE, 8},     {OP_WRITE, 164},  {OP_WRITE, 0},
      {OP_WRITE, 0x200}, {OP_WRITE, 0x400}, {OP_WRITE, 0x600}};
  EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace qv31
