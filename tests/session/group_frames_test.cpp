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

// Every button's frames: headers in queue order, and a write's payload taken from the image.
TEST(GroupFrames, EachCommandSendsItsWindows) {
  SessionRig rig;
  ParamBlock& params = rig.session.Params();
  for (int i = 0; i < PARAM_SIZE; ++i) params.Bytes()[i] = static_cast<uint8_t>(i * 7);
  struct Case {
    Frames frames;
    std::vector<FrameHeader> headers;
  };
  const FrameHeader t0{AREA_TABLE, OP_READ, 0, 512}, t1{AREA_TABLE, OP_READ, 0x200, 512};
  const FrameHeader t2{AREA_TABLE, OP_READ, 0x400, 512}, t3{AREA_TABLE, OP_READ, 0x600, 512};
  const Case cases[] = {
      {GatewaySession::QueryFrames(GroupId::Identity), {{AREA_IDENT, OP_READ, 0, 18}}},
      {GatewaySession::QueryFrames(GroupId::Params), {{AREA_PARAMS, OP_READ, 6, 320}}},
      {GatewaySession::QueryFrames(GroupId::FourG), {{AREA_PARAMS, OP_READ, 8, 12}}},
      {GatewaySession::QueryFrames(GroupId::Port1), {{AREA_PARAMS, OP_READ, 6, 2}}},
      {GatewaySession::QueryFrames(GroupId::Port4), {{AREA_PARAMS, OP_READ, 324, 2}}},
      {rig.session.SetFrames(GroupId::Port2), {{AREA_PARAMS, OP_WRITE, 320, 2}}},
      {GatewaySession::QueryFrames(GroupId::Network), {{AREA_PARAMS, OP_READ, 158, 104}}},
      {rig.session.SetFrames(GroupId::Network), {{AREA_PARAMS, OP_WRITE, 164, 98}}},
      {GatewaySession::QueryFrames(GroupId::Acq), {t0, t1, t2, t3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    ASSERT_EQ(c.frames.size(), c.headers.size());
    for (size_t i = 0; i < c.frames.size(); ++i) {
      const Parsed p = Parse(c.frames[i]);
      EXPECT_EQ(p.header, c.headers[i]);
      if (p.header.opCode == OP_WRITE) {
        EXPECT_EQ(p.payload, params.Window(p.header.address, p.header.length));
      }
    }
  }
}

TEST(GroupFrames, AcqSetWritesTheFourBlocksOfTheGridAsItIsNow) {
  SessionRig rig;
  rig.session.Grid().SetCell(0, COL_SLAVE, "17");
  const Frames writes = rig.session.SetFrames(GroupId::Acq);
  ASSERT_EQ(writes.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    ASSERT_EQ(writes[k].size(), 528u);
    const Parsed p = Parse(writes[k]);
    EXPECT_EQ(p.header, (FrameHeader{AREA_TABLE, OP_WRITE, uint16_t(512 * k), 512}));
    EXPECT_TRUE(std::equal(p.payload.begin(), p.payload.end(),
                           rig.session.Table().Bytes().begin() + 512 * k));
  }
  EXPECT_EQ(rig.session.Table().Record(0).slave, 17);
}

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
