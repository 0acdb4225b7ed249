#include "sim/gateway_memory.h"

#include <gtest/gtest.h>

#include <random>

#include "sim/factory_state.h"
#include "sim/sim_test_util.h"

namespace qv31 {
namespace {

using simtest::Bytes;

Bytes WithCrc(Bytes frame) {
  const auto crc = ComputeFrameCrc(frame.data(), static_cast<uint16_t>(frame.size() - 2));
  frame[frame.size() - 2] = crc[0];
  frame[frame.size() - 1] = crc[1];
  return frame;
}

TEST(GatewayMemory, RefusesWithoutReplyAndLeavesMemoryAlone) {
  const Bytes read = EncodeFrame({AREA_PARAMS, OP_READ, 6, 2});
  auto write = [](uint8_t area, uint16_t at) {
    return EncodeFrame({area, OP_WRITE, at, 2}, Bytes{1, 2});
  };
  auto set = [](Bytes f, size_t at, uint8_t b) { return f[at] = b, f; };
  Bytes shortWrite = write(AREA_PARAMS, 6), stray = read;
  shortWrite.erase(shortWrite.begin() + 15);
  stray.push_back(0x00);
  const struct {
    const char* name;
    Bytes frame;
    Verdict verdict;
  } cases[] = {
      {"write to identity", write(AREA_IDENT, 0), Verdict::ReadOnly},
      {"below area 1", EncodeFrame({AREA_PARAMS, OP_READ, 5, 2}), Verdict::OutsideArea},
      {"past area 1", write(AREA_PARAMS, 325), Verdict::OutsideArea},
      {"past area 2", write(AREA_TABLE, 2047), Verdict::OutsideArea},
      {"past area 3", EncodeFrame({AREA_IDENT, OP_READ, 0, 19}), Verdict::OutsideArea},
      {"address wraps", EncodeFrame({AREA_TABLE, OP_READ, 0xFFFF, 2}), Verdict::OutsideArea},
      {"empty window", EncodeFrame({AREA_TABLE, OP_READ, 0, 0}), Verdict::EmptyWindow},
      {"reply too long", EncodeFrame({AREA_TABLE, OP_READ, 0, 1009}), Verdict::ReplyTooLong},
      {"stray 0x00", stray, Verdict::SizeMismatch},
      {"payload shorter than length", WithCrc(shortWrite), Verdict::SizeMismatch},
      {"payload on a read", WithCrc(set(write(AREA_PARAMS, 6), 9, OP_READ)), Verdict::SizeMismatch},
      {"ack opcode", WithCrc(set(read, 9, OP_WRITE_ACK)), Verdict::NotARequest},
      {"area 0", WithCrc(set(read, 8, 0)), Verdict::UnknownArea},
      {"area 4", WithCrc(set(read, 8, 4)), Verdict::UnknownArea},
      {"preamble", WithCrc(set(read, 7, 0xFF)), Verdict::BadPreamble},
      {"bad CRC", set(read, 15, read[15] ^ 1), Verdict::BadCrc},
      {"15 bytes", Bytes(read.begin(), read.end() - 1), Verdict::TooShort},
      {"1025 bytes", Bytes(1025, 0x4F), Verdict::TooLong},
  };
  for (const auto& c : cases) {
    GatewayMemory memory = FactoryMemory();
    const GatewayAnswer answer = memory.Answer(c.frame);
    EXPECT_TRUE(answer.reply.empty()) << c.name;
    EXPECT_EQ(answer.verdict, c.verdict) << c.name << ": " << VerdictText(answer.verdict);
    EXPECT_TRUE(memory == FactoryMemory()) << c.name;
  }
}

// Random blocks and mutated tool frames, half of them with the CRC made valid again: a reply
// only where the window rules allow one, byte for byte the one owed, and memory changed only
// by that write.
TEST(GatewayMemory, RandomAndMutatedFrames) {
  std::mt19937 rng(5);
  GatewayMemory memory = FactoryMemory();
  simtest::ModelMemory model;
  int answered = 0;
  for (int i = 0; i < 100000; ++i) {
    Bytes f = simtest::BrokenFrame(rng, i % 3);
    if (i % 3 != 0 && f.size() >= 2 && rng() % 2 == 0) f = WithCrc(f);
    const GatewayAnswer answer = memory.Answer(f);
    if (!answer.reply.empty()) {
      ++answered;
      // Independent of Answer(): a good CRC and preamble, a read or a write of its exact size,
      // a window inside a known area.
      const auto h = ValidateBlock(f.data(), static_cast<int32_t>(f.size()));
      ASSERT_TRUE(h && h->area >= 1 && h->area <= 3) << i;
      const size_t base = model.Base(h->area), end = base + model.areas[h->area].size();
      ASSERT_TRUE(h->opCode == OP_READ || (h->opCode == OP_WRITE && h->area != AREA_IDENT)) << i;
      ASSERT_EQ(f.size(), 16u + (h->opCode == OP_WRITE ? h->length : 0)) << i;
      ASSERT_TRUE(h->length > 0 && h->address >= base && h->address + h->length <= end) << i;
      ASSERT_EQ(answer.reply, model.Expect(f)) << i;
    }
    ASSERT_TRUE(model.Holds(memory)) << i;
  }
  EXPECT_GT(answered, 1000);
}

}  // namespace
}  // namespace qv31
