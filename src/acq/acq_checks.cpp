#include "acq/acq_checks.h"

#include <algorithm>
#include <array>

#include "acq/acq_codes.h"
#include "acq/acq_table.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

using AcqRow = std::array<std::string, ACQ_COLUMN_COUNT>;

struct Field {
  int column;
  int64_t max;  // the largest value the field holds
};
constexpr Field NUMBER_FIELDS[] = {
    {COL_SLAVE, 0xFF}, {COL_START, 0xFFFF}, {COL_COUNT, 0xFF}, {COL_BUFFER, 0xFFFF}};
constexpr int EDITABLE_COLUMNS[] = {COL_CHANNEL, COL_SLAVE, COL_TYPE,
                                    COL_START,   COL_COUNT, COL_BUFFER};

// A row holds something unless each of its cells is empty or shows what an empty record
// shows ("无效", "0"): a table read from the gateway, or its CSV file, has every cell filled.
bool RowUsed(const AcqGrid& grid, int row) {
  static const AcqRow unused = [] {
    AcqTable table;
    table.SetRecord(0, AcqRecord{});
    AcqGrid g;
    g.RefreshAcqBlock(table, 0);
    AcqRow cells;
    for (const int c : EDITABLE_COLUMNS) cells[static_cast<size_t>(c)] = g.Cell(0, c);
    return cells;
  }();
  return std::any_of(std::begin(EDITABLE_COLUMNS), std::end(EDITABLE_COLUMNS), [&](int c) {
    const std::string& text = grid.Cell(row, c);
    return !text.empty() && text != unused[static_cast<size_t>(c)];
  });
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
  for (const Field& f : NUMBER_FIELDS) {
    const int64_t v = Number(grid, row, f.column);
    if (v < 0 || v > f.max) {
      const uint64_t cut = static_cast<uint64_t>(v) & static_cast<uint64_t>(f.max);
      out.push_back(
          {row, f.column,
           "数值超出字段范围 0~" + std::to_string(f.max) + "：写入时截为 " + std::to_string(cut)});
    } else if (f.column == COL_SLAVE && (v < SLAVE_MIN || v > SLAVE_MAX)) {
      out.push_back({row, f.column, "从站地址应在 1~247 之间"});
    } else if (f.column == COL_COUNT && v == 0) {
      out.push_back({row, f.column, "变量个数为 0：这一行不读写任何变量"});
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
