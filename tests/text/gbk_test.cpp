#include "text/gbk.h"

#include <gtest/gtest.h>

namespace qv31 {
namespace {

TEST(Gbk, RoundTripOfTheProgramsOwnTexts) {
  // "执行完成" in GBK, taken from the code page 936 table.
  const std::string gbk = "\xD6\xB4\xD0\xD0\xCD\xEA\xB3\xC9";
  EXPECT_EQ(Utf8ToGbk("执行完成"), gbk);
  EXPECT_EQ(GbkToUtf8(gbk), "执行完成");
  EXPECT_EQ(Utf8ToGbk("COM1,n,8,1"), "COM1,n,8,1");
}

TEST(Gbk, BadInputIsReplacedNotDropped) {
  EXPECT_EQ(GbkToUtf8("A\xFF"
                      "B"),
            "A\xEF\xBF\xBD"
            "B");
  EXPECT_EQ(GbkToUtf8("A\xD6"), "A\xEF\xBF\xBD");  // lead byte cut at the end
  EXPECT_EQ(Utf8ToGbk("a\xC3"), "a?");             // truncated UTF-8
  EXPECT_EQ(Utf8ToGbk("x😀y"), "x?y");              // not in GBK
}

TEST(Gbk, WhatGbkCanHold) {
  EXPECT_TRUE(FitsGbk("北京.example.cn?"));
  EXPECT_FALSE(FitsGbk("x😀y"));
  EXPECT_FALSE(FitsGbk("ﬁle"));  // U+FB01 has no GBK form
  EXPECT_FALSE(FitsGbk("a\xC3"));
  EXPECT_TRUE(IsValidGbk("\xD6\xB4\xD0\xD0 ok"));
  EXPECT_FALSE(IsValidGbk("A\xFF"));
  EXPECT_FALSE(IsValidGbk("A\xD6"));
}

TEST(Gbk, PrefixNeverSplitsACharacter) {
  const std::string gbk = Utf8ToGbk("ab执行");  // 2 + 4 bytes
  struct Case {
    size_t max;
    size_t expect;
  };
  for (const Case c : {Case{0, 0}, {2, 2}, {3, 2}, {4, 4}, {5, 4}, {6, 6}, {100, 6}}) {
    EXPECT_EQ(GbkPrefixLength(gbk, c.max), c.expect) << c.max;
  }
  EXPECT_EQ(Utf8CutToGbkBytes("ab执行", 5), "ab执");
}

}  // namespace
}  // namespace qv31
