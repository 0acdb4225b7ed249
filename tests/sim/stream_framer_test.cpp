#include "sim/stream_framer.h"

#include <gtest/gtest.h>

#include "sim/sim_test_util.h"

namespace qv31 {
namespace {

using simtest::Bytes;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

using Chunk = std::pair<Bytes, uint64_t>;  // bytes of one read, and when

std::vector<Bytes> Deliver(StreamFramer& framer, const std::vector<Chunk>& chunks, uint64_t endMs) {
  std::vector<Bytes> frames;
  for (const auto& [bytes, atMs] : chunks) {
    framer.Feed(bytes, atMs);
    while (auto f = framer.Next(atMs)) frames.push_back(*f);
  }
  while (auto f = framer.Next(endMs)) frames.push_back(*f);
  return frames;
}

TEST(StreamFramer, FindsFramesHoweverTheBytesArrive) {
  const Bytes a = EncodeFrame({AREA_PARAMS, OP_READ, 6, 2});
  const Bytes b = EncodeFrame({AREA_TABLE, OP_WRITE, 0, 1}, Bytes{0});
  // A write whose payload holds a whole read request, preamble and CRC included.
  const Bytes nested =
      EncodeFrame({AREA_TABLE, OP_WRITE, 8, 20}, Cat({Bytes{1, 2}, a, Bytes{3, 4}}));
  const Bytes pre(LinkPreamble.begin(), LinkPreamble.end());
  const Bytes impossible = Cat({pre, {1, 1, 0, 0, 0xF1, 0x03}});  // write of 1009 bytes
  const Bytes plausible = Cat({pre, {2, 1, 0, 0, 100, 0}});       // write of 100 bytes
  const Bytes shortFalse = Cat({pre, {2, 1, 0, 0, 20, 0}});       // completes with a bad CRC
  const Bytes garbage = {0x00, 0xFF, 0x4F, 0x3F, 0x2F, 0x12, 0xFE, 0x4F};

  auto oneByOne = [](const Bytes& f) {
    std::vector<Chunk> chunks;
    for (size_t i = 0; i < f.size(); ++i) chunks.push_back({{f[i]}, i * 10});
    return chunks;
  };
  const struct {
    const char* name;
    std::vector<Chunk> chunks;
    uint64_t endMs;
    std::vector<Bytes> expect;
  } cases[] = {
      {"two frames in one read", {{Cat({a, b}), 0}}, 0, {a, b}},
      {"garbage before a preamble", {{Cat({garbage, a}), 0}}, 0, {a}},
      {"one byte at a time, a preamble inside the payload", oneByOne(nested), 400, {nested}},
      {"false preamble, impossible length", {{Cat({impossible, a}), 0}}, 0, {a}},
      {"false preamble, bad CRC", {{Cat({shortFalse, a, b}), 0}}, 0, {a, b}},
      {"false preamble, line goes quiet", {{Cat({plausible, a, b}), 0}}, STREAM_STALL_MS, {a, b}},
      {"not yet quiet", {{Cat({plausible, a, b}), 0}}, STREAM_STALL_MS - 1, {}},
      {"partial frame, quiet, then a frame in two reads",
       {{Bytes(b.begin(), b.begin() + 15), 0},
        {Bytes(a.begin(), a.begin() + 5), STREAM_STALL_MS},
        {Bytes(a.begin() + 5, a.end()), STREAM_STALL_MS + 1}},
       STREAM_STALL_MS + 1,
       {a}},
  };
  for (const auto& c : cases) {
    StreamFramer framer;
    EXPECT_EQ(Deliver(framer, c.chunks, c.endMs), c.expect) << c.name;
  }
}

}  // namespace
}  // namespace qv31
