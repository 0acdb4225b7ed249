#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "acq/acq_grid.h"
#include "acq/csv_file.h"
#include "file_bytes.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

class CsvTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir.empty()); }
  std::string Path(const char* name) { return temp.Path(name); }
  TempDir temp{"qv31-csv"};
  const fs::path& dir = temp.Dir();
};

TEST_F(CsvTest, EmptyGridExportsTheGoldenFileAndASecondExportAppends) {
  const std::string golden = ReadBytes(fs::path(QV31_ACQ_TEST_DATA) / "empty_grid.csv");
  AcqGrid grid;
  grid.Settings() = {true, "100", "3", "10"};  // not part of the file
  EXPECT_EQ(ExportCsv(grid, Path("t.csv")), CsvResult::Exported);
  EXPECT_EQ(ReadBytes(Path("t.csv")), golden);
  EXPECT_EQ(ExportCsv(grid, Path("t.csv")), CsvResult::Exported);
  EXPECT_EQ(ReadBytes(Path("t.csv")), golden + golden);
  // Columns 0, 1, 2, 3, 4, 5 and 7 in GBK; the computed columns are not stored.
  grid.SetCell(254, COL_SLAVE, "执行");
  grid.SetCell(254, COL_TYPE, "03/10-RW");
  grid.SetCell(254, COL_BUFFER, "-7");
  ASSERT_EQ(grid.RecalcAcqRow(254), 1);
  ASSERT_EQ(ExportCsv(grid, Path("u.csv")), CsvResult::Exported);
  EXPECT_EQ(ReadBytes(Path("u.csv")),
            golden.substr(0, golden.size() - 11) + Utf8ToGbk("255,,执行,03/10-RW,,,-7\r\n"));
  EXPECT_EQ(CsvStatusText(CsvResult::Exported), "导出完成");
}

TEST_F(CsvTest, ExportNameAndFailures) {
  std::tm t{};
  ASSERT_NE(::strptime("2024-03-05 07:08:09", "%Y-%m-%d %H:%M:%S", &t), nullptr);
  EXPECT_EQ(CsvExportFileName(t), "参数D20240305-070809.csv");
  EXPECT_EQ(CsvExportPath("/x/y", 0).rfind("/x/y/参数D", 0), 0u);
  AcqGrid grid;
  EXPECT_EQ(ExportCsv(grid, Path("no/such.csv")), CsvResult::OpenFailed);
  EXPECT_EQ(CsvStatusText(CsvResult::OpenFailed), "");
  // Import never creates the file it was asked to read.
  EXPECT_EQ(ImportCsv(grid, Path("missing.csv")), CsvResult::OpenFailed);
  EXPECT_FALSE(fs::exists(dir / "missing.csv"));
}

TEST_F(CsvTest, ImportRulesPerLine) {
  AcqGrid grid;
  grid.SetCell(9, COL_SLAVE, "kept");
  grid.Settings() = {true, "100", "3", "10"};
  std::string file = Utf8ToGbk(CSV_HEADER) + "\r\n";
  for (const char* line : {
           "3,COM1,1,03-R,0,10,0",
           "2,COM2,执行,01-R,100,16,10",
           "3,COM3,7,06-W,10000,2,20",  // repeated number: the later line wins
           "5,COM2",                    // short: columns 1..5 empty, the rest into 7
           "6,COM1,1,03-R,0,1,8,extra",
           "7,COM1,1,03-r,0,1,0",
           "0,COM1,1,01-R,1,1,1",
           "256,COM1,1,01-R,1,1,1",
           "",
           "9",
           "  +4 ,COM4,,,,,",
       }) {
    file += Utf8ToGbk(line) + "\r\n";
  }
  WriteBytes(Path("in.csv"), file);
  CsvImportNotes notes;
  ASSERT_EQ(ImportCsv(grid, Path("in.csv"), &notes), CsvResult::Imported);
  EXPECT_EQ(notes.skipped, (std::vector<int>{8, 9})) << "0 and 256; the empty line is no loss";
  struct Row {
    int row;
    std::vector<std::string> cells;  // columns 1..8
  };
  const Row rows[] = {
      {2, {"COM3", "7", "06-W", "10000", "2", "410001~410002", "20", "40011~40012"}},
      {1, {"COM2", "执行", "01-R", "100", "16", "00101~00116", "10", "10081~10096"}},
      {4, {"", "", "", "", "", "00000~00000", "COM2", "00000~00000"}},
      {5, {"COM1", "1", "03-R", "0", "1", "40001~40001", "8,extra", "30005~30005"}},
      {6, {"COM1", "1", "03-r", "0", "1", "00000~00000", "0", "00000~00000"}},
      {8, {"", "", "", "", "", "00000~00000", "9", "00000~00000"}},  // "kept" overwritten
      {3, {"COM4", "", "", "", "", "00000~00000", "", "00000~00000"}},
      {9, {"", "kept", "", "", "", "", "", ""}},
      {0, {"", "", "", "", "", "", "", ""}},
      {254, {"", "", "", "", "", "", "", ""}},
  };
  for (const Row& r : rows) {
    for (int c = 1; c < ACQ_COLUMN_COUNT; ++c) {
      EXPECT_EQ(grid.Cell(r.row, c), r.cells[static_cast<size_t>(c - 1)])
          << "row " << r.row << " column " << c;
    }
  }
  EXPECT_EQ(grid.Settings(), (AcqSettingsTexts{true, "100", "3", "10"}));
  EXPECT_EQ(CsvStatusText(CsvResult::Imported), "导入完成");
}

TEST_F(CsvTest, WrongHeaderChangesNothing) {
  const std::string gbkHeader = Utf8ToGbk(CSV_HEADER);
  for (const std::string& h : {"\xEF\xBB\xBF" + gbkHeader, gbkHeader + ",", std::string()}) {
    AcqGrid grid;
    grid.SetCell(0, COL_CHANNEL, "COM1");
    const AcqGrid before = grid;
    WriteBytes(Path("h.csv"), h + "\r\n1,COM2,1,01-R,1,1,1\r\n");
    EXPECT_EQ(ImportCsv(grid, Path("h.csv")), CsvResult::Mismatch) << h;
    for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
      for (int c = 1; c < ACQ_COLUMN_COUNT; ++c) ASSERT_EQ(grid.Cell(r, c), before.Cell(r, c)) << h;
    }
  }
  WriteBytes(Path("empty.csv"), "");
  AcqGrid grid;
  EXPECT_EQ(ImportCsv(grid, Path("empty.csv")), CsvResult::Mismatch);
  EXPECT_EQ(CsvStatusText(CsvResult::Mismatch), "数据内容不符合");
  // A header ended by LF alone, a last line without a line end.
  WriteBytes(Path("lf.csv"), gbkHeader + "\n12,COM2,1,01-R,1,1,1");
  EXPECT_EQ(ImportCsv(grid, Path("lf.csv")), CsvResult::Imported);
  EXPECT_EQ(grid.Cell(11, COL_BUFFER), "1");
}

TEST_F(CsvTest, HugeFilesAndLines) {
  std::string bytes = Utf8ToGbk(CSV_HEADER) + "\r\n";
  for (int i = 0; i < 20000; ++i) bytes += std::to_string(i % 300) + ",COM1,1,01-R,1,1,1\n";
  bytes.append(100000, '\n');
  bytes += "17," + std::string(100000, '9') + "\r\n";
  bytes += std::string("18,COM1,\0\xFF\x81,03-R,1,1,", 21) + std::string(100000, 'x') + "\r\n";
  WriteBytes(Path("big.csv"), bytes);
  AcqGrid grid;
  EXPECT_EQ(ImportCsv(grid, Path("big.csv")), CsvResult::Imported);
  EXPECT_EQ(grid.Cell(16, COL_BUFFER), std::string(100000, '9'));
  EXPECT_EQ(grid.Cell(17, COL_SLAVE), std::string(1, '\0') + "\uFFFD\uFFFD");
  EXPECT_EQ(grid.Cell(17, COL_BUFFER).size(), 100000u);
  EXPECT_EQ(grid.Cell(254, COL_BUFFER_RANGE), "10009~10009");
}

// Spreadsheets save UTF-8, with or without a byte-order mark; the same rows come out.
TEST_F(CsvTest, Utf8FilesFromSpreadsheetsAreReadAsUtf8) {
  const std::string rows = "1,COM2,执行,01-R,100,16,10\r\n2,COM1,1,03-R,0,1,缓存\r\n,,,,,,\r\n";
  const struct {
    const char* name;
    std::string bytes;
    bool utf8;
  } cases[] = {
      {"GBK", Utf8ToGbk(std::string(CSV_HEADER) + "\r\n" + rows), false},
      {"UTF-8", std::string(CSV_HEADER) + "\r\n" + rows, true},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + std::string(CSV_HEADER) + "\n" + rows, true},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("s.csv"), c.bytes);
    AcqGrid grid;
    CsvImportNotes notes;
    ASSERT_EQ(ImportCsv(grid, Path("s.csv"), &notes), CsvResult::Imported) << c.name;
    EXPECT_EQ(notes.utf8, c.utf8) << c.name;
    EXPECT_TRUE(notes.skipped.empty()) << c.name << ": a line of commas is no loss";
    EXPECT_EQ(grid.Cell(0, COL_SLAVE), "执行") << c.name;
    EXPECT_EQ(grid.Cell(1, COL_BUFFER), "缓存") << c.name;
  }
}

// Random lines never touch a row other than the one their number names.
TEST(CsvRandom, LinesTouchOnlyTheirOwnRow) {
  std::mt19937 rng(20240601);
  const std::string alphabet =
      std::string("0123456789,,,,-+ \t\r\xFF\x81\x40\xD6\xB4") + std::string(1, '\0') + "COM03-RW/";
  AcqGrid grid;
  std::vector<bool> touched(ACQ_ROW_COUNT, false);
  for (int i = 0; i < 100000; ++i) {
    std::string line;
    if (rng() % 2) line = std::to_string(static_cast<int>(rng() % 600) - 100);
    for (int k = static_cast<int>(rng() % 24); k > 0; --k)
      line += alphabet[rng() % alphabet.size()];
    const int32_t row = ApplyCsvLine(grid, line);
    if (row >= 0) {
      ASSERT_EQ(row + 1, std::strtoll(line.c_str(), nullptr, 10)) << line;
      touched[static_cast<size_t>(row)] = true;
    }
  }
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
    ASSERT_EQ(grid.Cell(r, COL_NUMBER), std::to_string(r + 1));
    for (int c = 1; c < ACQ_COLUMN_COUNT && !touched[static_cast<size_t>(r)]; ++c) {
      ASSERT_EQ(grid.Cell(r, c), "");
    }
  }
}

}  // namespace
}  // namespace qv31
