#include "text/gbk.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

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

// One table for both systems: glibc's GBK and code page 936 disagree on a few codes, and the
// program must accept and refuse the same bytes whichever it runs on.
TEST(Gbk, TheSameBytesAreAcceptedOnEverySystem) {
  const std::pair<std::string_view, bool> gbk[] = {
      {"\xA1\xA1", true},   // U+3000 ideographic space
      {"\x81\x40", true},   // U+4E02, first code of the GBK extension
      {"\xB0\xA1", true},   // U+554A, first code of GB 2312 level 1
      {"\xA8\xBF", false},  // private use in code page 936, refused by glibc
      {"\xFE\xFE", false},  // private use in code page 936
      {"\xAA\xA1", false},  // user-defined area
      {"\x80", false},      // the euro sign in code page 936 only
      {"\xFF", false},      //
      {"\x81\x7F", false},  // 0x7F is never a trail byte
      {"\x81\x30", false},  // a GB 18030 four-byte start, not GBK
  };
  for (const auto& [bytes, valid] : gbk) {
    EXPECT_EQ(IsValidGbk(bytes), valid) << testing::PrintToString(std::string(bytes));
  }
  const std::pair<std::string_view, std::string_view> utf8[] = {
      {"执行完成 通信超时", "\xD6\xB4\xD0\xD0\xCD\xEA\xB3\xC9 \xCD\xA8\xD0\xC5\xB3\xAC\xCA\xB1"},
      {"配置.ini", "\xC5\xE4\xD6\xC3.ini"},
      {"€", "?"},             // no double-byte form
      {"\xEE\x80\x80", "?"},  // U+E000, private use
      {"\xED\xA0\x80", "?"},  // an encoded surrogate is not UTF-8
      {"\xC0\x80", "?"},      // overlong
  };
  for (const auto& [text, bytes] : utf8) EXPECT_EQ(Utf8ToGbk(text), bytes) << text;
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
