#include "text/number_text.h"

#include <gtest/gtest.h>

namespace qv31 {
namespace {

TEST(NumberText, LeadingDecimalRuleAndCuts) {
  struct Case {
    const char* text;
    int64_t value;
    uint16_t low16;
    uint8_t low8;
  };
  const Case cases[] = {
      {"", 0, 0, 0},           {"abc", 0, 0, 0},
      {"  42xyz", 42, 42, 42}, {"\t-7", -7, 0xFFF9, 0xF9},
      {"+300", 300, 300, 44},  {"70000", 70000, 4464, 0x70},
      {"- 5", 0, 0, 0},        {"12 34", 12, 12, 12},
      {"65536", 65536, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LeadingDecimal(c.text), c.value);
    EXPECT_EQ(LeadingDecimal16(c.text), c.low16);
    EXPECT_EQ(LeadingDecimal8(c.text), c.low8);
  }
}

TEST(NumberText, HugeNumbersKeepTheirLowBitsAndSaturateWhenShown) {
  // 2^64 + 5 keeps the low bits of the number as written.
  EXPECT_EQ(LeadingDecimalBits("18446744073709551621"), 5u);
  EXPECT_EQ(LeadingDecimal("99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(LeadingDecimal("-99999999999999999999999"), INT64_MIN);
  EXPECT_EQ(LeadingDecimal("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(LeadingDecimal32("4294967295"), -1);
}

}  // namespace
}  // namespace qv31
