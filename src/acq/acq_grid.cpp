#include "acq/acq_grid.h"

#include "acq/acq_codes.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

constexpr std::array<AcqColumnInfo, ACQ_COLUMN_COUNT> kColumns = {{
    {"*编号*", 60, "row", 0, 0},
    {"通道号", 60, "channel", 1, 0},
    {"从站地址", 60, "slave", 2, 0xFF},
    {"变量类型", 80, "type", 3, 0},
    {"起始变量", 80, "start", 4, 0xFFFF},
    {"变量个数", 80, "count", 5, 0xFF},
    {"*变量计算*", 145, "vars", -1, 0},
    {"缓存", 90, "buffer", 6, 0xFFFF},
    {"*缓存计算*", 145, "buffer_refs", -1, 0},
}};
constexpr std::array<int, ACQ_STORED_COUNT> kStored = {COL_CHANNEL, COL_SLAVE, COL_TYPE,
                                                       COL_START,   COL_COUNT, COL_BUFFER};

uint64_t FieldMax(int column) {
  return column >= 0 && column < ACQ_COLUMN_COUNT ? kColumns[static_cast<size_t>(column)].fieldMax
                                                  : 0;
}

bool ValidCell(int row, int column) {
  return row >= 0 && row < ACQ_ROW_COUNT && column >= 0 && column < ACQ_COLUMN_COUNT;
}

// The number rule keeping the exact low 64 bits, so a cut to 8 or 16 bits or a division by
// 10 sees the number as written.
int64_t Number(const std::string& text) { return static_cast<int64_t>(LeadingDecimalBits(text)); }

}  // namespace

std::span<const AcqColumnInfo> AcqColumns() { return kColumns; }

std::span<const int, ACQ_STORED_COUNT> AcqStoredColumns() { return kStored; }

bool FitsAcqField(int column, std::string_view text) {
  const int64_t v = LeadingDecimal(text);
  return v >= 0 && static_cast<uint64_t>(v) <= FieldMax(column);
}

uint64_t CutToAcqField(int column, std::string_view text) {
  return LeadingDecimalBits(text) & FieldMax(column);
}

AcqGrid::AcqGrid() : rows_(ACQ_ROW_COUNT) {
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) rows_[static_cast<size_t>(r)][0] = std::to_string(r + 1);
}

const std::string& AcqGrid::Cell(int row, int column) const {
  static const std::string kEmpty;
  if (!ValidCell(row, column)) return kEmpty;
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

int32_t AcqGrid::SetCell(int row, int column, std::string_view text) {
  if (!ValidCell(row, column) || column == COL_NUMBER) return -1;
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
  return 1;
}

int32_t AcqGrid::RefreshAcqBlock(const AcqTable& table, int block) {
  const int first = AcqTable::FirstRowOfBlock(block);
  if (first < 0) return -1;
  if (block == 0) {
    const AcqHeader h = table.Header();
    settings_.enableTicked = h.enable == 1;
    settings_.timeout = std::to_string(h.timeout10ms * 10);
    settings_.timeoutCount = std::to_string(h.timeoutCount);
    settings_.interval = std::to_string(h.intervalMs);
  }
  const int count = AcqTable::RowCountOfBlock(block);
  for (int r = first; r < first + count; ++r) {
    const AcqRecord rec = table.Record(r);
    Row& row = rows_[static_cast<size_t>(r)];
    row[COL_CHANNEL] = ChannelText(rec.channel);
    row[COL_TYPE] = VarTypeText(rec.varType);
    row[COL_SLAVE] = std::to_string(rec.slave);
    row[COL_START] = std::to_string(rec.start);
    row[COL_COUNT] = std::to_string(rec.count);
    row[COL_VAR_RANGE] = VarRangeText(rec.varType, rec.start, rec.count);
    row[COL_BUFFER] = std::to_string(rec.buffer);
    row[COL_BUFFER_RANGE] = BufferRangeText(rec.varType, rec.buffer, rec.count);
  }
  return count;
}

void AcqGrid::BuildAcqImage(AcqTable& table) const {
  AcqHeader h = table.Header();
  h.enable = settings_.enableTicked ? 1 : 0;
  h.timeout10ms = static_cast<uint8_t>(Number(settings_.timeout) / 10);
  h.timeoutCount = static_cast<uint8_t>(Number(settings_.timeoutCount));
  h.intervalMs = static_cast<uint8_t>(Number(settings_.interval));
  table.SetHeader(h);
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
    const Row& row = rows_[static_cast<size_t>(r)];
    AcqRecord rec;
    rec.channel = ChannelCode(row[COL_CHANNEL]);
    rec.varType = VarTypeCode(row[COL_TYPE]);
    rec.slave = static_cast<uint8_t>(CutToAcqField(COL_SLAVE, row[COL_SLAVE]));
    rec.start = static_cast<uint16_t>(CutToAcqField(COL_START, row[COL_START]));
    rec.count = static_cast<uint8_t>(CutToAcqField(COL_COUNT, row[COL_COUNT]));
    rec.buffer = static_cast<uint16_t>(CutToAcqField(COL_BUFFER, row[COL_BUFFER]));
    table.SetRecord(r, rec);
  }
}

void AcqGrid::ClearAcqView() {
  settings_ = AcqSettingsTexts{};
  for (Row& row : rows_) {
    for (int c = 1; c < ACQ_COLUMN_COUNT; ++c) row[static_cast<size_t>(c)].clear();
  }
}

int32_t AcqGrid::RecalcAcqRow(int row) {
  if (!ValidCell(row, 0)) return -1;
  Row& r = rows_[static_cast<size_t>(row)];
  const uint8_t code = VarTypeCode(r[COL_TYPE]);
  const int64_t start = LeadingDecimal(r[COL_START]);
  const int64_t count = LeadingDecimal(r[COL_COUNT]);
  const int64_t buffer = LeadingDecimal(r[COL_BUFFER]);
  r[COL_VAR_RANGE] = VarRangeText(code, start, count);
  r[COL_BUFFER_RANGE] = BufferRangeText(code, buffer, count);
  return 1;
}

int32_t AcqGrid::SetStoredCells(int row,
                                std::span<const std::string_view, ACQ_STORED_COUNT> texts) {
  if (!ValidCell(row, 0)) return -1;
  for (size_t f = 0; f < kStored.size(); ++f) SetCell(row, kStored[f], texts[f]);
  return RecalcAcqRow(row);
}

}  // namespace qv31
