#include "acq/csv_warnings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "acq/csv_file.h"
#include "file_bytes.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

// Each line (UTF-8 here, GBK in the file) and the start of every warning it gives, in order.
TEST(CsvWarnings, NameWhatTheImportWillDoUnasked) {
  const struct {
    std::string line;
    std::vector<std::string> warnings;
  } cases[] = {
      {"1,COM1,1,03-R,0,10,0", {}},
      {"255,无效,0,无效,0,0,0", {}},  // GBK text, an unused row: nothing to say
      {"7,,,,,,", {}},
      {"5,COM4,247,06-W,65535,255,65535", {}},
      {"5,COM5,1,03-R,0,1,0", {"line 9 (row 5): channel \"COM5\" names none"}},
      {"5,com1,1,03-r,0,1,0",
       {"line 9 (row 5): channel \"com1\" is not written as the list shows it; it is written as "
        "COM1",
        "line 9 (row 5): type \"03-r\" is none"}},
      {"5,COM1,1,03-R,65536,1,0", {"line 9 (row 5): start \"65536\" does not fit"}},
      {"256,COM1", {"line 9: no row number"}},
      {"", {"line 9: no row number"}},
      {"5,COM1\t,1", {"line 9, column 7: byte 0x09", "line 9 (row 5): channel"}},
      {"5,COM1,1,03-R,0,1,\x7F", {"line 9, column 19: byte 0x7F"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto got = CsvLineWarnings(Utf8ToGbk(c.line), 9);
    ASSERT_EQ(got.size(), c.warnings.size()) << (got.empty() ? "" : got[0]);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].rfind(c.warnings[i], 0), 0u) << got[i];
  }
  // A lead byte without its trail byte, at the end and before a comma.
  EXPECT_EQ(
      CsvLineWarnings("5,COM1,1,03-R,0,1,\xB1", 2).at(0).rfind("line 2, column 19: byte 0xB1", 0),
      0u);
  EXPECT_EQ(CsvLineWarnings("5,\xB1,COM1", 2).at(0).rfind("line 2, column 3: byte 0xB1", 0), 0u);
}

// A UTF-8 file's lines: its characters are text, a broken sequence is junk, and the cells
// are judged as the window will hold them.
TEST(CsvWarnings, AUtf8FilesLinesAreReadAsUtf8) {
  const struct {
    std::string line;
    const char* first;  // start of the first warning, or nothing
  } cases[] = {
      {"255,无效,0,无效,0,0,0", nullptr},
      {"5,COM1,1,03-R,0,1,0", nullptr},
      {"5,通道1,1,03-R,0,1,0", "line 4 (row 5): channel \"通道1\" names none"},
      {"5,COM1,1,03-R,0,1,\xE6\x97",
       "line 4, column 19: byte 0xE6 is not table text (binary "
       "data or a broken UTF-8 character)"},
      {"5,\xC0\xAF,COM1", "line 4, column 3: byte 0xC0"},      // an overlong '/'
      {"5,\xED\xA0\x80,COM1", "line 4, column 3: byte 0xED"},  // a surrogate
      {Utf8ToGbk("5,无效"), "line 4, column 3: byte 0xCE"},    // GBK in a UTF-8 file
  };
  for (const auto& c : cases) {
    const auto got = CsvLineWarnings(c.line, 4, CsvEncoding::Utf8);
    if (c.first == nullptr) {
      EXPECT_TRUE(got.empty()) << c.line << ": " << got.at(0);
    } else {
      ASSERT_FALSE(got.empty()) << c.line;
      EXPECT_EQ(got[0].rfind(c.first, 0), 0u) << got[0];
    }
  }
  EXPECT_EQ(CsvFileEncoding("\xEF\xBB\xBF" + std::string(CSV_HEADER)), CsvEncoding::Utf8);
  EXPECT_EQ(CsvFileEncoding(CSV_HEADER), CsvEncoding::Utf8);
  EXPECT_EQ(CsvFileEncoding(Utf8ToGbk(CSV_HEADER)), CsvEncoding::Gbk);
}

// The window's import opens none of these, so it neither waits for a writer nor reads on
// without end; no cell changes.
TEST(CsvWarnings, FilesThatAreNoTableFilesAreNotOpened) {
  TempDir temp{"qv31-csv-bad"};
  const std::string fifo = temp.Path("fifo.csv"), huge = temp.Path("huge.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteBytes(huge, Utf8ToGbk(CSV_HEADER) + "\r\n1,COM2\r\n");
  std::filesystem::resize_file(huge, CSV_FILE_MAX + 1);
  for (const std::string& path : {fifo, std::string("/dev/zero"), huge, temp.Dir().string()}) {
    SCOPED_TRACE(path);
    AcqGrid grid;
    EXPECT_EQ(ImportCsv(grid, path), CsvResult::OpenFailed);
    EXPECT_EQ(grid.Cell(0, COL_CHANNEL), "");
  }
  EXPECT_EQ(ExportCsv(AcqGrid{}, fifo), CsvResult::OpenFailed);
}

TEST(CsvWarnings, LinesSplitAsTheTextReaderSplitsThem) {
  EXPECT_EQ(SplitCsvLines("a\r\nb\n\r\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitCsvLines("a\r"), (std::vector<std::string>{"a\r"}));
  EXPECT_TRUE(SplitCsvLines("").empty());
}

}  // namespace
}  // namespace qv31
