#include "acq/csv_file.h"

#include <algorithm>
#include <array>

#include "acq/ckx_file_txt.h"
#include "text/gbk.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

const std::string& HeaderGbk() {
  static const std::string header = Utf8ToGbk(CSV_HEADER);
  return header;
}

std::string RowLine(const AcqGrid& grid, int row) {
  std::string line = grid.Cell(row, COL_NUMBER);
  for (const int column : AcqStoredColumns()) {
    line += ',';
    line += grid.Cell(row, column);
  }
  return line;
}

}  // namespace

std::string_view CsvStatusText(CsvResult result) {
  // Indexed by CsvResult; the failures leave the status box empty.
  constexpr std::array<std::string_view, 5> kTexts = {"", "", STATUS_EXPORTED, STATUS_IMPORTED,
                                                      STATUS_MISMATCH};
  const auto i = static_cast<size_t>(result);
  return i < kTexts.size() ? kTexts[i] : std::string_view{};
}

std::string CsvExportFileName(const std::tm& localTime) {
  char name[128];
  const std::string format(CSV_NAME_FORMAT);
  const size_t n = std::strftime(name, sizeof name, format.c_str(), &localTime);
  return std::string(name, n);
}

std::string CsvExportPath(std::string_view dirPath, std::time_t now) {
  // The window's and the command line's own thread asks; nothing else shares the result.
  const std::tm* converted = std::localtime(&now);
  if (converted == nullptr) return {};
  const std::tm local = *converted;
  const std::string name = CsvExportFileName(local);
  if (name.empty()) return {};
  std::string path(dirPath);
  if (!path.empty() && path.back() != '/') path += '/';
  return path + name;
}

CsvResult ExportCsv(const AcqGrid& grid, const std::string& path) {
  CKXFileTxt file;
  if (path.empty() || !file.Open(path, CKXFileTxt::Mode::AppendWrite)) {
    return CsvResult::OpenFailed;
  }
  bool ok = file.WriteString(HeaderGbk() + "\n") > 0;
  for (int r = 0; r < ACQ_ROW_COUNT && ok; ++r) {
    // The last line gets its line end from the writer.
    std::string line = Utf8ToGbk(RowLine(grid, r));
    if (r + 1 < ACQ_ROW_COUNT) line += '\n';
    ok = file.WriteString(line) > 0;
  }
  ok = file.Flush() && ok;
  file.Close();
  return ok ? CsvResult::Exported : CsvResult::WriteFailed;
}

int32_t ApplyCsvLine(AcqGrid& grid, std::string_view gbkLine) {
  // The line's own number chooses the row, whatever its position in the file.
  const int64_t number = LeadingDecimal(gbkLine);
  if (number < 1 || number > ACQ_ROW_COUNT) return -1;
  const int row = static_cast<int>(number - 1);
  // A comma is never part of a GBK double-byte character, so the cut can follow conversion.
  const bool ascii = std::all_of(gbkLine.begin(), gbkLine.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const std::string utf8 = ascii ? std::string(gbkLine) : GbkToUtf8(gbkLine);
  std::string_view rest = utf8;
  if (const size_t comma = rest.find(','); comma != std::string_view::npos) {
    rest.remove_prefix(comma + 1);
  }
  // The fields before the last are cut at commas (a missing one is empty); the last field
  // takes everything left, commas included.
  std::array<std::string_view, ACQ_STORED_COUNT> fields{};
  for (size_t f = 0; f + 1 < fields.size(); ++f) {
    const size_t comma = rest.find(',');
    if (comma == std::string_view::npos) continue;
    fields[f] = rest.substr(0, comma);
    rest.remove_prefix(comma + 1);
  }
  fields.back() = rest;
  grid.SetStoredCells(row, fields);
  return row;
}

CsvResult ImportCsvLines(AcqGrid& grid, const std::function<bool(std::string&)>& nextLine) {
  std::string line;
  if (!nextLine(line) || line != HeaderGbk()) return CsvResult::Mismatch;
  while (nextLine(line)) ApplyCsvLine(grid, line);
  return CsvResult::Imported;
}

CsvResult ImportCsv(AcqGrid& grid, const std::string& path) {
  CKXFileTxt file;
  if (!file.Open(path, CKXFileTxt::Mode::Read)) return CsvResult::OpenFailed;
  const CsvResult result =
      ImportCsvLines(grid, [&file](std::string& line) { return file.ReadString(line); });
  file.Close();
  return result;
}

}  // namespace qv31
