#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_table.h"

namespace qv31 {

constexpr int ACQ_COLUMN_COUNT = 9;

enum AcqColumn : int {
  COL_NUMBER = 0,  // row number, set once
  COL_CHANNEL = 1,
  COL_SLAVE = 2,
  COL_TYPE = 3,
  COL_START = 4,
  COL_COUNT = 5,
  COL_VAR_RANGE = 6,  // computed
  COL_BUFFER = 7,
  COL_BUFFER_RANGE = 8,  // computed
};

// One column of the table: how the list shows it, its name in qv31ctl's JSON and backups,
// its place in a CSV line and the width of its field in the image.
struct AcqColumnInfo {
  std::string_view header;  // columns the operator cannot edit carry asterisks
  int width;                // pixels
  std::string_view jsonName;
  int csvField;       // 0 to 6 in a CSV line; -1 for the computed columns, never stored
  uint64_t fieldMax;  // a number field's largest value in the image; 0 for the others
};
std::span<const AcqColumnInfo> AcqColumns();

// Columns 1 to 5 and 7, in CSV order after the row number: what a file or backup stores.
constexpr int ACQ_STORED_COUNT = 6;
std::span<const int, ACQ_STORED_COUNT> AcqStoredColumns();

// A number column's text by the number rule fits its field (0 to fieldMax) as written.
bool FitsAcqField(int column, std::string_view text);
// The value a number column's text is written as: its low bits, cut to the field.
uint64_t CutToAcqField(int column, std::string_view text);

// The settings above the list: "采集管理使能" and the three edits.
struct AcqSettingsTexts {
  bool enableTicked = false;
  std::string timeout;  // ms
  std::string timeoutCount;
  std::string interval;  // ms
  bool operator==(const AcqSettingsTexts&) const = default;
};

// The working copy of the acquisition table: 255 x 9 cell texts (UTF-8) and the settings
// texts. Replies, cell edits and CSV import change texts; the image is built from them only
// for a write, and they are filled from the image only when a block arrives.
class AcqGrid {
 public:
  AcqGrid();  // column 0 numbered "1".."255", every other cell empty

  // Rows 0..254, columns 0..8; another cell reads as the empty text.
  const std::string& Cell(int row, int column) const;
  // Columns 1..8 only (the row numbers never change): -1 for another cell, else 1.
  int32_t SetCell(int row, int column, std::string_view text);

  AcqSettingsTexts& Settings() { return settings_; }
  const AcqSettingsTexts& Settings() const { return settings_; }

  // Shows block k (0..3) of the image: for block 0 the settings too; the rows of the block,
  // columns 1 to 8. -1 for another block, else the number of rows shown.
  int32_t RefreshAcqBlock(const AcqTable& table, int block);
  // Header bytes 0..3 from the settings, bytes 4..7 kept; every byte of every record from
  // the cells (texts outside the tables become 0xFF, numbers cut to their widths).
  void BuildAcqImage(AcqTable& table) const;
  // Settings unticked and empty; columns 1..8 of every row empty; the image is not touched.
  void ClearAcqView();
  // Columns 6 and 8 of one row from its type, start, count and buffer cells (numbers not cut).
  int32_t RecalcAcqRow(int row);
  // The stored columns of one row (AcqStoredColumns order), then the row recomputed.
  int32_t SetStoredCells(int row, std::span<const std::string_view, ACQ_STORED_COUNT> texts);

 private:
  using Row = std::array<std::string, ACQ_COLUMN_COUNT>;
  std::vector<Row> rows_;
  AcqSettingsTexts settings_;
};

}  // namespace qv31
