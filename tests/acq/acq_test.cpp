#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acq/acq_codes.h"
#include "acq/acq_frames.h"
#include "acq/acq_grid.h"
#include "acq/acq_table.h"
#include "link/link_frame.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes RecordBytes(const AcqTable& t, int row) {
  const auto* b = t.Bytes().data() + ACQ_HEADER_SIZE + row * ACQ_RECORD_SIZE;
  return Bytes(b, b + ACQ_RECORD_SIZE);
}

void FillRow(AcqGrid& g, int row, std::vector<const char*> cells) {
  const int columns[] = {COL_CHANNEL, COL_SLAVE, COL_TYPE, COL_START, COL_COUNT, COL_BUFFER};
  for (size_t i = 0; i < cells.size(); ++i) g.SetCell(row, columns[i], cells[i]);
  g.RecalcAcqRow(row);
}

TEST(AcqCodes, RangeTexts) {
  struct Case {
    const char* type;
    int64_t start, count, buffer;
    const char* vars;
    const char* buffers;
  };
  const Case cases[] = {
      {"03-R", 0, 10, 0, "40001~40010", "30001~30010"},
      {"01-R", 100, 16, 10, "00101~00116", "10081~10096"},
      {"06-W", 10000, 2, 20, "410001~410002", "40011~40012"},
      {"03-R", 9999, 2, 0, "50000~50001", "30001~30002"},
      {"0F-W", 0, 8, 10, "00001~00008", "00081~00088"},
      {"02-R", 5, 3, 10000, "10006~10008", "180001~180003"},
      {"04-R", 9999, 1, 9999, "40000~40000", "35000~35000"},
      {"04-R", 10000, 1, 10000, "310001~310001", "305001~305001"},
      {"03/10-RW", 0, 0, 0, "40001~40000", "40001~40000"},
      {"03-r", 1, 1, 1, "00000~00000", "00000~00000"},
      {"03-R", INT64_MAX, INT64_MAX, INT64_MAX, "9223372036854775807~9223372036854775807",
       "4611686018427687904~9223372036854775807"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const uint8_t code = VarTypeCode(c.type);
    EXPECT_EQ(VarRangeText(code, c.start, c.count), c.vars);
    EXPECT_EQ(BufferRangeText(code, c.buffer, c.count), c.buffers);
  }
}

TEST(AcqCodes, ChannelAndTypeTexts) {
  // The three bytes after "COM" (GBK positions) by the number rule, less one, cut to a byte.
  EXPECT_EQ(ChannelCode("COM-1"), 0xFE);
  EXPECT_EQ(ChannelCode("COM1000"), 99);
  EXPECT_EQ(ChannelCode("通道2"), 0xFF);
  for (int code = 4; code <= 0xFF; ++code) ASSERT_EQ(ChannelText(code), "无效") << code;
  EXPECT_EQ(VarTypeText(0x07), "无效");
  EXPECT_EQ(VarTypeCode("无效"), 0xFF);
}

TEST(AcqGrid, BuildCutsNumbersAndEmptyRowsBecomeNone) {
  AcqGrid grid;
  FillRow(grid, 0, {"COM2", "300", "03-R", "70000", "258", "65537"});
  EXPECT_EQ(grid.Cell(0, COL_VAR_RANGE), "470001~470258") << "computed before any cut";
  FillRow(grid, 1, {"COM9", "abc", "03-r", "-1", "", "20"});
  FillRow(grid, 2, {"COM1", "-1", "01-R", "18446744073709551621", "99999999999999999999", "+12x"});
  EXPECT_EQ(grid.Cell(2, COL_VAR_RANGE), "9223372036854775807~9223372036854775807");
  struct Timeout {
    const char* text;
    uint8_t stored;
    const char* shown;
  };
  for (const Timeout& t :
       {Timeout{"1005", 100, "1000"}, {"3000", 44, "440"}, {"9", 0, "0"}, {"-15", 0xFF, "2550"}}) {
    grid.Settings() = {true, t.text, "300", "7"};
    AcqTable table;
    grid.BuildAcqImage(table);
    EXPECT_EQ(table.Bytes()[1], t.stored) << t.text;
    AcqGrid shown;
    shown.RefreshAcqBlock(table, 0);
    EXPECT_EQ(shown.Settings(), (AcqSettingsTexts{true, t.shown, "44", "7"})) << t.text;
    EXPECT_EQ(RecordBytes(table, 0), (Bytes{1, 3, 44, 0x11, 0x70, 2, 0, 1}));
    EXPECT_EQ(RecordBytes(table, 1), (Bytes{8, 0xFF, 0, 0xFF, 0xFF, 0, 0, 20}));
    EXPECT_EQ(RecordBytes(table, 2), (Bytes{0, 1, 0xFF, 0, 5, 0xFF, 0, 12}));
    EXPECT_EQ(RecordBytes(table, 254), (Bytes{0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
  }
}

TEST(AcqGrid, RefreshShowsOneBlockAndInvalidCodesWriteBackAsNone) {
  AcqTable source;
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
    source.SetRecord(r, {static_cast<uint8_t>(r % 256), static_cast<uint8_t>(r), 1, 2, 3, 4});
  }
  source.SetHeader({1, 50, 3, 20, {0xA1, 0xA2, 0xA3, 0xA4}});
  AcqGrid grid;
  EXPECT_EQ(grid.RefreshAcqBlock(source, 3), 64);
  EXPECT_EQ(grid.Cell(190, COL_CHANNEL), "");
  EXPECT_EQ(grid.Cell(191, COL_CHANNEL), "无效");  // channel 191
  EXPECT_EQ(grid.Settings(), AcqSettingsTexts{}) << "only block 0 carries the settings";
  EXPECT_EQ(grid.RefreshAcqBlock(source, 0), 63);
  EXPECT_EQ(grid.Cell(62, COL_NUMBER), "63");
  EXPECT_EQ(grid.Cell(63, COL_CHANNEL), "") << "row 64 is in block 1";
  EXPECT_EQ(grid.Cell(2, COL_CHANNEL), "COM3");
  EXPECT_EQ(grid.Cell(4, COL_TYPE), "04-R");
  EXPECT_EQ(grid.Cell(4, COL_VAR_RANGE), "30003~30005");
  EXPECT_EQ(grid.Cell(4, COL_BUFFER_RANGE), "30003~30005");
  EXPECT_EQ(grid.RefreshAcqBlock(source, 4), -1);

  // A read of block 0 followed by a write keeps header bytes 4..7; codes shown as "无效"
  // travel as 0xFF.
  AcqTable target;
  ASSERT_EQ(target.Store(0, source.Bytes().data(), ACQ_BLOCK_SIZE), ACQ_BLOCK_SIZE);
  grid.BuildAcqImage(target);
  EXPECT_EQ(Bytes(target.Bytes().begin(), target.Bytes().begin() + 8),
            (Bytes{1, 50, 3, 20, 0xA1, 0xA2, 0xA3, 0xA4}));
  EXPECT_EQ(RecordBytes(target, 5), (Bytes{0xFF, 0x05, 1, 0, 2, 3, 0, 4}));
  EXPECT_EQ(RecordBytes(target, 200), (Bytes{0xFF, 0xFF, 1, 0, 2, 3, 0, 4}));
  EXPECT_EQ(RecordBytes(target, 100), (Bytes{0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
}

TEST(AcqGrid, ClearEmptiesCellsNotNumbersNorImage) {
  AcqGrid grid;
  FillRow(grid, 7, {"COM1", "1", "01-R", "0", "1", "0"});
  grid.Settings() = {true, "100", "3", "10"};
  grid.ClearAcqView();
  EXPECT_EQ(grid.Settings(), AcqSettingsTexts{});
  for (int c = 1; c < ACQ_COLUMN_COUNT; ++c) EXPECT_EQ(grid.Cell(7, c), "");
  EXPECT_EQ(grid.Cell(254, COL_NUMBER), "255");
  EXPECT_EQ(grid.SetCell(0, COL_NUMBER, "x"), -1);
  EXPECT_EQ(grid.SetCell(255, COL_CHANNEL, "x"), -1);
}

}  // namespace
}  // namespace qv31
