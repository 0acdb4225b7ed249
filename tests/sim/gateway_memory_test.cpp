#include "sim/gateway_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "link/accepted_replies.h"
#include "sim/factory_state.h"
#include "sim/sim_test_util.h"

namespace qv31 {
namespace {

using simtest::Bytes;

Bytes FromHex(const char* hex) {
  Bytes out;
  for (const char* p = hex; *p != '\0'; p += (p[2] == ' ' ? 3 : 2)) {
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
  }
  return out;
}

// Reference frames with CRCs computed outside this code base.
TEST(GatewayMemory, RepliesMatchReferenceBytes) {
  GatewayMemory memory = FactoryMemory();
  const struct {
    const char* request;
    const char* reply;
  } cases[] = {
      {"4F 3F 2F 1F 5F 6F FF FE 03 02 00 00 12 00 BE 15",
       "4F 3F 2F 1F 5F 6F FF FE 03 03 00 00 12 00 51 56 33 31 2D 53 49 4D 20 31 2E 30 00 00 00 00 "
       "00 00 DD 34"},
      {"4F 3F 2F 1F 5F 6F FF FE 01 02 06 00 02 00 B2 BF",
       "4F 3F 2F 1F 5F 6F FF FE 01 03 06 00 02 00 06 00 26 70"},
      {"4F 3F 2F 1F 5F 6F FF FE 02 01 00 00 01 00 00 74 46",
       "4F 3F 2F 1F 5F 6F FF FE 02 04 00 00 01 00 3A F4"},
  };
  for (const auto& c : cases) EXPECT_EQ(memory.Answer(FromHex(c.request)).reply, FromHex(c.reply));
}

TEST(GatewayMemory, StopFrameClearsOnlyTheEnableByte) {
  GatewayMemory memory = FactoryMemory();
  const GatewayMemory before = memory;
  ASSERT_EQ(memory.AreaBytes(AREA_TABLE)[0], 1);
  ASSERT_FALSE(memory.Answer(EncodeFrame({AREA_TABLE, OP_WRITE, 0, 1}, Bytes{0})).reply.empty());
  GatewayMemory expected = before;
  expected.AreaBytes(AREA_TABLE)[0] = 0;
  EXPECT_TRUE(memory == expected);
}

Bytes WithCrc(Bytes frame) {
  const auto crc = ComputeFrameCrc(frame.data(), static_cast<uint16_t>(frame.size() - 2));
  frame[frame.size() - 2] = crc[0];
  frame[frame.size() - 1] = crc[1];
  return frame;
}

TEST(GatewayMemory, RefusesWithoutReplyAndLeavesMemoryAlone) {
  const Bytes read = EncodeFrame({AREA_PARAMS, OP_READ, 6, 2});
  auto stray = [](Bytes f, uint8_t b) { return f.push_back(b), f; };
  auto patched = [](Bytes f, size_t at, uint8_t b) { return f[at] = b, WithCrc(f); };
  Bytes shortWrite = EncodeFrame({AREA_PARAMS, OP_WRITE, 6, 2}, Bytes{1, 2});
  shortWrite.erase(shortWrite.begin() + 15);
  const struct {
    const char* name;
    Bytes frame;
    Verdict verdict;
  } cases[] = {
      {"write to identity", EncodeFrame({AREA_IDENT, OP_WRITE, 0, 2}, Bytes{1, 2}),
       Verdict::ReadOnly},
      {"below area 1", EncodeFrame({AREA_PARAMS, OP_READ, 5, 2}), Verdict::OutsideArea},
      {"past area 1", EncodeFrame({AREA_PARAMS, OP_WRITE, 325, 2}, Bytes{1, 2}),
       Verdict::OutsideArea},
      {"past area 2", EncodeFrame({AREA_TABLE, OP_WRITE, 2047, 2}, Bytes{1, 2}),
       Verdict::OutsideArea},
      {"past area 3", EncodeFrame({AREA_IDENT, OP_READ, 0, 19}), Verdict::OutsideArea},
      {"address wraps", EncodeFrame({AREA_TABLE, OP_READ, 0xFFFF, 2}), Verdict::OutsideArea},
      {"empty window", EncodeFrame({AREA_TABLE, OP_READ, 0, 0}), Verdict::EmptyWindow},
      {"reply too long", EncodeFrame({AREA_TABLE, OP_READ, 0, 1009}), Verdict::ReplyTooLong},
      {"stray 0x00", stray(read, 0x00), Verdict::SizeMismatch},
      {"stray 0x55", stray(read, 0x55), Verdict::BadCrc},
      {"payload shorter than length", WithCrc(shortWrite), Verdict::SizeMismatch},
      {"payload on a read", patched(EncodeFrame({AREA_PARAMS, OP_WRITE, 6, 2}, Bytes{1, 2}), 9, 2),
       Verdict::SizeMismatch},
      {"read reply opcode", patched(read, 9, OP_READ_REPLY), Verdict::NotARequest},
      {"ack opcode", patched(read, 9, OP_WRITE_ACK), Verdict::NotARequest},
      {"area 0", patched(read, 8, 0), Verdict::UnknownArea},
      {"area 4", patched(read, 8, 4), Verdict::UnknownArea},
      {"preamble", patched(read, 7, 0xFF), Verdict::BadPreamble},
      {"bad CRC",
       [&] {
         Bytes f = read;
         return f[15] ^= 1, f;
       }(),
       Verdict::BadCrc},
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

// Random blocks and mutated tool frames: a reply only where the window rules allow one, and
// memory changed only by a write that was acknowledged.
TEST(GatewayMemory, RandomAndMutatedFrames) {
  std::mt19937 rng(5);
  GatewayMemory memory = FactoryMemory();
  std::vector<Bytes> tool;
  for (const auto& r : simtest::kToolRequests) tool.push_back(simtest::RequestFrame(r));
  int answered = 0;
  for (int i = 0; i < 100000; ++i) {
    Bytes f;
    if (i % 4 == 0) {
      const size_t size = rng() % 1100;
      f.resize(size + 3);
      for (size_t k = 0; k < size; k += 4) {
        const uint32_t r = rng();
        std::memcpy(&f[k], &r, 4);
      }
      f.resize(size);
    } else {
      f = tool[rng() % tool.size()];
      for (int k = 0, n = 1 + rng() % 3; k < n; ++k)
        f[rng() % f.size()] = static_cast<uint8_t>(rng());
      if (i % 4 == 1 && f.size() > 2) f = WithCrc(f);  // mutated header or payload, valid CRC
      if (i % 4 == 3) f.resize(rng() % (f.size() + 4), 0x00);  // cut or padded with zeros
    }
    const GatewayMemory before = memory;
    const GatewayAnswer answer = memory.Answer(f);
    if (answer.reply.empty()) {
      ASSERT_TRUE(memory == before) << i;
      continue;
    }
    ++answered;
    // Independent of Answer(): the request had a good CRC and preamble, was a read or a
    // write of its exact size, and its window lay inside a known area.
    const auto h = ValidateBlock(f.data(), static_cast<int32_t>(f.size()));
    ASSERT_TRUE(h) << i;
    const int base = h->area == AREA_PARAMS ? 6 : 0;
    const int size = h->area == AREA_PARAMS  ? 320
                     : h->area == AREA_TABLE ? 2048
                     : h->area == AREA_IDENT ? 18
                                             : 0;
    ASSERT_TRUE(h->opCode == OP_READ || (h->opCode == OP_WRITE && h->area != AREA_IDENT)) << i;
    ASSERT_EQ(f.size(), 16u + (h->opCode == OP_WRITE ? h->length : 0)) << i;
    ASSERT_TRUE(h->length > 0 && h->address >= base && h->address + h->length <= base + size) << i;
    const auto reply =
        ValidateBlock(answer.reply.data(), static_cast<int32_t>(answer.reply.size()));
    ASSERT_TRUE(reply && ReplyAnswers(*h, *reply)) << i;
    GatewayMemory expected = before;
    if (h->opCode == OP_WRITE) {
      std::copy_n(f.begin() + 14, h->length,
                  expected.AreaBytes(h->area).begin() + h->address - base);
    }
    ASSERT_TRUE(memory == expected) << i;
  }
  EXPECT_GT(answered, 1000);
}

}  // namespace
}  // namespace qv31
