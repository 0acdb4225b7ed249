#include "acq/acq_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv31 {
namespace {

// channel, slave, type, start, count, buffer
using Row = std::vector<const char*>;

AcqGrid Grid(const std::vector<std::pair<int, Row>>& rows) {
  AcqGrid g;
  const int columns[] = {COL_CHANNEL, COL_SLAVE, COL_TYPE, COL_START, COL_COUNT, COL_BUFFER};
  for (const auto& [row, cells] : rows) {
    for (size_t i = 0; i < cells.size(); ++i) g.SetCell(row, columns[i], cells[i]);
  }
  return g;
}

// (row, column) of each finding.
std::vector<std::pair<int, int>> Marks(const AcqGrid& g) {
  std::vector<std::pair<int, int>> marks;
  for (const AcqFinding& f : CheckAcqGrid(g)) marks.emplace_back(f.row, f.column);
  return marks;
}

TEST(AcqChecks, EachRuleOnAHandMadeTable) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, Row>> rows;
    std::vector<std::pair<int, int>> marks;
  };
  const Case cases[] = {
      {"empty table", {}, {}},
      {"a channel alone is a row in use",
       {{0, {"COM1", "", "", "", "", ""}}},
       {{0, COL_SLAVE}, {0, COL_TYPE}, {0, COL_COUNT}}},
      {"a sound row", {{0, {"COM1", "1", "03-R", "0", "10", "0"}}}, {}},
      {"rows as an empty record shows them",
       {{0, {"无效", "0", "无效", "0", "0", "0"}}, {1, {"无效"}}},
       {}},
      {"an empty record but its slave",
       {{0, {"无效", "5", "无效", "0", "0", "0"}}},
       {{0, COL_CHANNEL}, {0, COL_TYPE}, {0, COL_COUNT}}},
      {"slave 0", {{0, {"COM1", "0", "03-R", "0", "1", "0"}}}, {{0, COL_SLAVE}}},
      {"slave 247", {{0, {"COM1", "247", "03-R", "0", "1", "0"}}}, {}},
      {"slave 248", {{0, {"COM1", "248", "03-R", "0", "1", "0"}}}, {{0, COL_SLAVE}}},
      {"slave 300 is cut", {{0, {"COM1", "300", "03-R", "0", "1", "0"}}}, {{0, COL_SLAVE}}},
      {"count 0", {{0, {"COM1", "1", "03-R", "0", "0", "0"}}}, {{0, COL_COUNT}}},
      {"start 70000", {{0, {"COM1", "1", "03-R", "70000", "1", "0"}}}, {{0, COL_START}}},
      {"无效 channel and type",
       {{0, {"无效", "1", "无效", "0", "1", "0"}}},
       {{0, COL_CHANNEL}, {0, COL_TYPE}}},
      {"registers 0..9 and 8..9 overlap (buffer bytes 0 and 16)",
       {{0, {"COM1", "1", "03-R", "0", "10", "0"}}, {9, {"COM2", "2", "04-R", "0", "2", "16"}}},
       {{0, COL_BUFFER_RANGE}, {9, COL_BUFFER_RANGE}}},
      {"registers 0..9 and 10..11 touch only",
       {{0, {"COM1", "1", "03-R", "0", "10", "0"}}, {9, {"COM1", "1", "03-R", "0", "2", "20"}}},
       {}},
      {"same cells, other class",
       {{0, {"COM1", "1", "03-R", "0", "10", "0"}}, {9, {"COM1", "1", "06-W", "0", "10", "0"}}},
       {}},
      {"bits 80..95 and 88..95",
       {{1, {"COM1", "1", "01-R", "0", "16", "10"}}, {2, {"COM1", "1", "02-R", "0", "8", "11"}}},
       {{1, COL_BUFFER_RANGE}, {2, COL_BUFFER_RANGE}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Marks(Grid(c.rows)), c.marks) << c.name;
}

TEST(AcqChecks, FindingsSayWhy) {
  const auto findings = CheckAcqGrid(Grid({{0, {"COM1", "1", "03-R", "70000", "10", "0"}},
                                           {5, {"COM1", "1", "03-R", "0", "10", "0"}}}));
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_EQ(FindingLine(findings[0]),
            "第 1 行 起始变量：数值超出字段范围 0~65535：写入时截为 4464");
  EXPECT_EQ(FindingLine(findings[2]), "第 6 行 缓存计算：缓存与第 1 行重叠：两行写入同一缓存");
}

}  // namespace
}  // namespace qv31
