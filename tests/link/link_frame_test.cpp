#include "link/link_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "link/accepted_replies.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(LinkFrame, CrcCheckValue) {
  const char* digits = "123456789";
  const auto crc = ComputeFrameCrc(reinterpret_cast<const uint8_t*>(digits), 9);
  EXPECT_EQ(crc[0], 0x37);
  EXPECT_EQ(crc[1], 0x4B);
  EXPECT_TRUE(CheckFrameCrc(reinterpret_cast<const uint8_t*>(digits), 9, 0x37, 0x4B));
  EXPECT_FALSE(CheckFrameCrc(reinterpret_cast<const uint8_t*>(digits), 9, 0x4B, 0x37));
}

TEST(LinkFrame, WorkedFramesByteForByte) {
  const Bytes pre = {0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE};
  auto with = [&](Bytes tail) {
    Bytes b = pre;
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  struct Case {
    const char* name;
    LinkFrame frame;
    Bytes wire;
  };
  const Case cases[] = {
      {"identity",
       {{AREA_IDENT, OP_READ, 0, 18}, {}},
       with({0x03, 0x02, 0x00, 0x00, 0x12, 0x00, 0xBE, 0x15})},
      {"whole image",
       {{AREA_PARAMS, OP_READ, 6, 320}, {}},
       with({0x01, 0x02, 0x06, 0x00, 0x40, 0x01, 0x43, 0xDF})},
      {"port 1",
       {{AREA_PARAMS, OP_READ, 6, 2}, {}},
       with({0x01, 0x02, 0x06, 0x00, 0x02, 0x00, 0xB2, 0xBF})},
      {"table block 0",
       {{AREA_TABLE, OP_READ, 0, 512}, {}},
       with({0x02, 0x02, 0x00, 0x00, 0x00, 0x02, 0x32, 0xA5})},
      {"stop",
       {{AREA_TABLE, OP_WRITE, 0, 1}, {0x00}},
       with({0x02, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x74, 0x46})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.frame.Encode(), c.wire) << c.name;
}

struct RxBuffer {
  std::array<uint8_t, LINK_BUFFER_SIZE> bytes{};
  int32_t length = 0;
  explicit RxBuffer(const Bytes& b) {
    std::memcpy(bytes.data(), b.data(), b.size());
    length = static_cast<int32_t>(b.size());
  }
};

TEST(LinkFrame, Validation) {
  const Bytes ack = EncodeFrame({AREA_PARAMS, OP_WRITE_ACK, 6, 2});
  // A stray 0x00 would pass: CRC-16/MODBUS over a frame and its low CRC byte ends in
  // (high CRC byte, 0x00). Any other stray byte fails.
  Bytes stray = ack;
  stray.push_back(0x5A);
  Bytes badPreamble = ack;
  badPreamble[0] = 0x4E;
  const auto crc = ComputeFrameCrc(badPreamble.data(), 14);
  badPreamble[14] = crc[0];
  badPreamble[15] = crc[1];

  EXPECT_TRUE(ValidateBlock(RxBuffer(ack).bytes.data(), 16));
  EXPECT_FALSE(ValidateBlock(RxBuffer(stray).bytes.data(), 17)) << "stray byte behind a frame";
  EXPECT_FALSE(ValidateBlock(RxBuffer(badPreamble).bytes.data(), 16)) << "preamble";
  EXPECT_FALSE(ValidateBlock(RxBuffer({0x00}).bytes.data(), 1)) << "single byte";
  EXPECT_FALSE(ValidateBlock(RxBuffer({0xFF, 0xFF}).bytes.data(), 2)) << "CRC of nothing";
}

TEST(AcceptedReplies, ExactMatchesOnly) {
  struct Case {
    FrameHeader h;
    bool accepted;
  };
  const Case cases[] = {
      {{AREA_PARAMS, OP_READ_REPLY, 6, 320}, true},
      {{AREA_PARAMS, OP_READ_REPLY, 6, 2}, true},
      {{AREA_PARAMS, OP_READ_REPLY, 8, 13}, false},
      {{AREA_PARAMS, OP_WRITE_ACK, 999, 7}, true},
      {{AREA_TABLE, OP_WRITE_ACK, 1, 1}, true},
      {{AREA_IDENT, OP_WRITE_ACK, 0, 18}, false},
      {{AREA_TABLE, OP_READ_REPLY, 0x200, 0x100}, false},
      {{AREA_TABLE, OP_READ_REPLY, 0x600, 512}, true},
      {{AREA_IDENT, OP_READ_REPLY, 0, 18}, true},
      {{AREA_PARAMS, OP_READ, 6, 320}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchAcceptedReply(c.h) != nullptr, c.accepted)
        << int(c.h.area) << "/" << int(c.h.opCode) << "/" << c.h.address << "/" << c.h.length;
  }
  const AcceptedReply* port2 = MatchAcceptedReply({AREA_PARAMS, OP_READ_REPLY, 320, 2});
  ASSERT_NE(port2, nullptr);
  EXPECT_EQ(port2->offset, 314);
  EXPECT_EQ(port2->show, SHOW_PORT2);
}

// A read is answered by its own reply only; a write by an acknowledgement of its area that
// echoes no other write.
TEST(AcceptedReplies, AReplyAnswersOnlyItsOwnRequest) {
  struct Case {
    FrameHeader request, reply;
    bool answers;
  };
  const FrameHeader read4g{AREA_PARAMS, OP_READ, 8, 12};
  const FrameHeader write4g{AREA_PARAMS, OP_WRITE, 8, 15};
  const Case cases[] = {
      {read4g, {AREA_PARAMS, OP_READ_REPLY, 8, 12}, true},
      {read4g, {AREA_PARAMS, OP_READ_REPLY, 13, 2}, false},
      {read4g, {AREA_PARAMS, OP_WRITE_ACK, 8, 12}, false},
      {write4g, {AREA_PARAMS, OP_WRITE_ACK, 0, 0}, true},
      {write4g, {AREA_TABLE, OP_WRITE_ACK, 8, 15}, false},
      {write4g, {AREA_PARAMS, OP_READ_REPLY, 8, 15}, false},
      {{AREA_TABLE, OP_WRITE, 0x600, 512}, {AREA_TABLE, OP_WRITE_ACK, 0x600, 512}, true},
      {{AREA_TABLE, OP_WRITE, 0x600, 512}, {AREA_TABLE, OP_WRITE_ACK, 0x400, 512}, false},
      {{AREA_TABLE, OP_WRITE, 0x600, 512}, {AREA_TABLE, OP_WRITE_ACK, 0, 0}, true},
      {{AREA_TABLE, OP_WRITE, 0x600, 512}, {AREA_TABLE, OP_WRITE_ACK, 0x600, 0}, true},
      {{AREA_TABLE, OP_WRITE, 0x000, 512}, {AREA_TABLE, OP_WRITE_ACK, 0, 1}, true},  // stop frame
      {{AREA_PARAMS, OP_WRITE, 164, 98}, {AREA_PARAMS, OP_WRITE_ACK, 8, 15}, false},
      {{AREA_PARAMS, OP_WRITE, 164, 98}, {AREA_PARAMS, OP_WRITE_ACK, 0x600, 512}, true},
      {{AREA_PARAMS, OP_WRITE, 320, 2}, {AREA_PARAMS, OP_WRITE_ACK, 6, 2}, false},
      {{AREA_PARAMS, OP_WRITE, 320, 2}, {AREA_PARAMS, OP_WRITE_ACK, 6, 320}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplyAnswers(c.request, c.reply), c.answers)
        << int(c.request.opCode) << " " << c.request.address << "/" << c.request.length
        << " answered by " << int(c.reply.opCode) << " " << c.reply.address << "/"
        << c.reply.length;
  }
}

}  // namespace
}  // namespace qv31
