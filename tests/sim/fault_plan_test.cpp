#include "sim/fault_plan.h"

#include <gtest/gtest.h>

#include "link/link_frame.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

// What happens to the replies of requests 1 to 8 under one set of switches.
TEST(FaultPlan, SwitchesCountFromTheStart) {
  const Bytes reply = EncodeFrame({AREA_PARAMS, OP_READ_REPLY, 6, 2}, Bytes{6, 0});
  Bytes badCrc = reply;
  badCrc.back() ^= 0xFF;
  Bytes stray = reply;
  stray.push_back(STRAY_BYTE);
  const Bytes half1(reply.begin(), reply.begin() + 9), half2(reply.begin() + 9, reply.end());
  using Parts = std::vector<ReplyPart>;
  const Parts plain = {{0, reply}};
  const Parts none;
  auto opts = [](auto set) {
    FaultOptions o;
    set(o);
    return o;
  };
  const struct {
    const char* name;
    FaultOptions options;
    std::vector<Parts> expect;  // per request 1..8
  } cases[] = {
      // Corruption counts replies sent: those to requests 1, 2, 4, 5, 7, 8.
      {"--drop 3 --corrupt 2",
       opts([](auto& o) { o.drop = 3, o.corrupt = 2; }),
       {plain, {{0, badCrc}}, none, plain, {{0, badCrc}}, none, plain, {{0, badCrc}}}},
      {"--silent", opts([](auto& o) { o.silent = true; }), std::vector<Parts>(8, none)},
      {"--stray-byte", opts([](auto& o) { o.strayByte = true; }),
       std::vector<Parts>(8, {{0, stray}})},
      {"--delay 40", opts([](auto& o) { o.delayMs = 40; }), std::vector<Parts>(8, {{40, reply}})},
      {"--delay 40 --split 25", opts([](auto& o) { o.delayMs = 40, o.splitMs = 25; }),
       std::vector<Parts>(8, {{40, half1}, {65, half2}})},
  };
  for (const auto& c : cases) {
    FaultPlan plan(c.options);
    for (size_t i = 0; i < c.expect.size(); ++i) {
      const ShapedReply shaped = plan.Shape(reply);
      ASSERT_EQ(shaped.parts.size(), c.expect[i].size()) << c.name << " request " << i + 1;
      for (size_t k = 0; k < shaped.parts.size(); ++k) {
        EXPECT_EQ(shaped.parts[k].afterMs, c.expect[i][k].afterMs) << c.name << " " << i + 1;
        EXPECT_EQ(shaped.parts[k].bytes, c.expect[i][k].bytes) << c.name << " " << i + 1;
      }
    }
  }
  // Neither fault leaves a reply the tool would take.
  EXPECT_FALSE(ValidateBlock(badCrc.data(), static_cast<int32_t>(badCrc.size())));
  EXPECT_FALSE(ValidateBlock(stray.data(), static_cast<int32_t>(stray.size())));
}

}  // namespace
}  // namespace qv31
