#include "acq/acq_checks.h"

#include <algorithm>

#include "acq/acq_codes.h"
#include "acq/acq_table.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

bool IsNumberColumn(int column) { return AcqColumns()[static_cast<size_t>(column)].fieldMax != 0; }

int64_t Number(const AcqGrid& grid, int row, int column);

// A row the gateway leaves unused reads back as "无效" with every number 0; such a row, like
// an empty one, is not in use and not checked.
bool RowUsed(const AcqGrid& grid, int row) {
  for (const int c : {COL_CHANNEL, COL_TYPE}) {
    const std::string& text = grid.Cell(row, c);
    if (!text.empty() && text != "无效") return true;
  }
  for (int column = 0; column < ACQ_COLUMN_COUNT; ++column) {
    if (IsNumberColumn(column) && !grid.Cell(row, column).empty() &&
        Number(grid, row, column) != 0) {
      return true;
    }
  }
  return false;
}

int64_t Number(const AcqGrid& grid, int row, int column) {
  return LeadingDecimal(grid.Cell(row, column));
}

struct Span {
  int row;
  BufferCells cells;
};

void CheckRow(const AcqGrid& grid, int row, std::vector<AcqFinding>& out) {
  if (ChannelCode(grid.Cell(row, COL_CHANNEL)) > 3) {
    out.push_back({row, COL_CHANNEL, "通道无效：写入为 0xFF，网关不会采集这一行"});
  }
  for (int column = 0; column < ACQ_COLUMN_COUNT; ++column) {
    if (!IsNumberColumn(column)) continue;
    const std::string& text = grid.Cell(row, column);
    const int64_t v = LeadingDecimal(text);
    if (!FitsAcqField(column, text)) {
      const uint64_t max = AcqColumns()[static_cast<size_t>(column)].fieldMax;
      out.push_back({row, column,
                     "数值超出字段范围 0~" + std::to_string(max) + "：写入时截为 " +
                         std::to_string(CutToAcqField(column, text))});
    } else if (column == COL_SLAVE && (v < SLAVE_MIN || v > SLAVE_MAX)) {
      out.push_back({row, column, "从站地址应在 1~247 之间"});
    } else if (column == COL_COUNT && v == 0) {
      out.push_back({row, column, "变量个数为 0：这一行不读写任何变量"});
    }
  }
  if (VarTypeCode(grid.Cell(row, COL_TYPE)) == VAR_TYPE_NONE) {
    out.push_back({row, COL_TYPE, "变量类型无效：写入为 0xFF"});
  }
}

}  // namespace

std::vector<AcqFinding> CheckAcqGrid(const AcqGrid& grid) {
  std::vector<AcqFinding> findings;
  std::vector<Span> spans;
  for (int row = 0; row < ACQ_ROW_COUNT; ++row) {
    if (!RowUsed(grid, row)) continue;
    CheckRow(grid, row, findings);
    BufferCells cells;
    const int64_t count = LeadingDecimal8(grid.Cell(row, COL_COUNT));
    if (count > 0 && BufferCellsOf(VarTypeCode(grid.Cell(row, COL_TYPE)),
                                   LeadingDecimal16(grid.Cell(row, COL_BUFFER)), count, cells)) {
      spans.push_back({row, cells});
    }
  }
  // Rows filling the same buffer cells: sorted by class and first cell, each span meets only
  // the spans that start before it ends.
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
    if (a.cells.bufferClass != b.cells.bufferClass)
      return a.cells.bufferClass < b.cells.bufferClass;
    return a.cells.first < b.cells.first;
  });
  std::vector<AcqFinding> overlaps;
  for (size_t i = 0; i < spans.size(); ++i) {
    const int64_t end = spans[i].cells.first + spans[i].cells.count;
    for (size_t j = i + 1;
         j < spans.size() && spans[j].cells.bufferClass == spans[i].cells.bufferClass &&
         spans[j].cells.first < end;
         ++j) {
      const int a = spans[i].row;
      const int b = spans[j].row;
      overlaps.push_back(
          {a, COL_BUFFER_RANGE, "缓存与第 " + std::to_string(b + 1) + " 行重叠：两行写入同一缓存"});
      overlaps.push_back(
          {b, COL_BUFFER_RANGE, "缓存与第 " + std::to_string(a + 1) + " 行重叠：两行写入同一缓存"});
    }
  }
  findings.insert(findings.end(), overlaps.begin(), overlaps.end());
  std::stable_sort(findings.begin(), findings.end(), [](const AcqFinding& a, const AcqFinding& b) {
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  });
  return findings;
}

std::string FindingLine(const AcqFinding& finding) {
  const auto columns = AcqColumns();
  std::string header(columns[static_cast<size_t>(finding.column)].header);
  header.erase(std::remove(header.begin(), header.end(), '*'), header.end());
  return "第 " + std::to_string(finding.row + 1) + " 行 " + header + "：" + finding.text;
}

}  // namespace qv31
