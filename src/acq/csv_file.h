#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_grid.h"

namespace qv31 {

// The table file: GBK, CR LF, no quoting. The header line, then one line per row with the
// texts of columns 0, 1, 2, 3, 4, 5 and 7 joined by commas (the computed columns are not
// stored).
constexpr std::string_view CSV_HEADER = "编号,通道号,从站地址,变量类型,起始变量,变量个数,缓存";
constexpr std::string_view CSV_NAME_FORMAT = "参数D%Y%m%d-%H%M%S.csv";

constexpr std::string_view STATUS_EXPORTED = "导出完成";
constexpr std::string_view STATUS_IMPORTED = "导入完成";
constexpr std::string_view STATUS_MISMATCH = "数据内容不符合";

enum class CsvResult : uint8_t {
  OpenFailed,   // the status box stays empty
  WriteFailed,  // a line could not be written; the status box stays empty
  Exported,
  Imported,
  Mismatch,  // the first line is not the header; nothing changed
};

// The status text the caller shows for a result (empty for the failures).
std::string_view CsvStatusText(CsvResult result);

// "参数D%Y%m%d-%H%M%S.csv" of a local time; empty when it cannot be formatted.
std::string CsvExportFileName(const std::tm& localTime);
// dirPath joined with the name of `now` in local time.
std::string CsvExportPath(std::string_view dirPath, std::time_t now);

// Writes the grid's header and 255 lines to the end of `path`, creating it when missing and
// never truncating it, each line flushed.
CsvResult ExportCsv(const AcqGrid& grid, const std::string& path);
// What an import found beyond its result.
struct CsvImportNotes {
  bool utf8 = false;         // the file was UTF-8 (with or without a byte-order mark)
  std::string firstLine;     // a refused first line, as UTF-8 where it converts
  std::vector<int> skipped;  // lines (1 = the header) whose number names no row
};

// Reads `path` by the import rules: the first line must equal the header byte for byte; each
// further line goes to the row its leading number names (1 to 255, others ignored), fields
// cut at commas into columns 1 to 5 and everything left into column 7, then the row is
// recomputed. Settings and rows without a line keep their texts. Spreadsheets save UTF-8,
// often behind a byte-order mark: a file whose first line is the header in UTF-8 is read as
// UTF-8 throughout.
CsvResult ImportCsv(AcqGrid& grid, const std::string& path, CsvImportNotes* notes = nullptr);

// How a table file's lines are read: GBK as the tools write them, or UTF-8 as spreadsheets
// save them, often behind a byte-order mark.
enum class CsvEncoding : uint8_t { Gbk, Utf8 };
// The encoding a file's first line shows: UTF-8 when it is the header in UTF-8 (with or
// without a byte-order mark), else GBK. The window's import and the command line's warnings
// both read a file's data lines by this.
CsvEncoding CsvFileEncoding(std::string_view firstLine);
// A data line of a file in `encoding` as the program's UTF-8 text.
std::string CsvLineText(std::string_view line, CsvEncoding encoding);

// The import rules over lines already split (without line ends); `nextLine` returns false at
// the end.
CsvResult ImportCsvLines(AcqGrid& grid, const std::function<bool(std::string&)>& nextLine,
                         CsvImportNotes* notes = nullptr);
// One data line; returns the row it changed, or -1 when its number names no row.
int32_t ApplyCsvLine(AcqGrid& grid, std::string_view line, CsvEncoding encoding = CsvEncoding::Gbk);

}  // namespace qv31
