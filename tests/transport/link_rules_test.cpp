#include <gtest/gtest.h>

#include "transport/link_transport.h"
#include "transport/serial_port.h"

namespace qv31 {
namespace {

TEST(LinkRules, GapFromBaud) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 100},  {1200, 100}, {2399, 100}, {2400, 50},  {4799, 50},       {4800, 5},
      {9600, 5}, {19199, 5},  {19200, 1},  {115200, 1}, {0xFFFFFFFFu, 1},
  };
  for (const auto& [baud, gap] : cases) EXPECT_EQ(GapMsForBaud(baud), gap) << baud;
}

TEST(LinkRules, ReplyTimeoutFromBaudText) {
  const std::pair<const char*, int32_t> cases[] = {
      {"1200", 10000}, {"9599", 10000}, {"9600", 2000}, {"14400", 2000},  {"115199", 2000},
      {"115200", 500}, {"230400", 500}, {"", 10000},    {"-9600", 10000}, {" 9600x", 2000},
  };
  for (const auto& [text, ms] : cases) EXPECT_EQ(ReplyTimeoutMsForBaud(text), ms) << text;
}

}  // namespace
}  // namespace qv31
