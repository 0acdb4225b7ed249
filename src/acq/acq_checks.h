#pragma once

#include <string>
#include <vector>

#include "acq/acq_grid.h"

namespace qv31 {

// One way a row of the table will not work as the operator probably means. Findings never
// stop a write: the gateway takes what it is sent.
struct AcqFinding {
  int row;     // 0 to 254
  int column;  // the cell to mark
  std::string text;
  bool operator==(const AcqFinding&) const = default;
};

// Slave addresses a Modbus master may poll.
constexpr int64_t SLAVE_MIN = 1;
constexpr int64_t SLAVE_MAX = 247;

// Findings for every row that holds anything (a row showing an empty record, "无效" and
// zeros, holds nothing), in row and column order: a channel or type that
// names nothing (it is written as 0xFF), a slave address outside 1 to 247, a count of 0, a
// number that does not fit its field (it is cut when written), and two rows that fill the
// same cells of the gateway's buffer (both are marked, each naming the other). Numbers are
// taken as the gateway will receive them, cut to their fields.
std::vector<AcqFinding> CheckAcqGrid(const AcqGrid& grid);

// "第 6 行 从站地址：..." for printing.
std::string FindingLine(const AcqFinding& finding);

}  // namespace qv31
