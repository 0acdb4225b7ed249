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

namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Strict enough to tell a UTF-8 line from a GBK one: GBK's double bytes rarely form valid
// UTF-8 sequences.
bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// A line with nothing but blanks and commas: what spreadsheets leave below a table.
bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" ,\t") == std::string_view::npos;
}

int32_t ApplyUtf8Line(AcqGrid& grid, std::string_view utf8) {
  // The line's own number chooses the row, whatever its position in the file.
  const int64_t number = LeadingDecimal(utf8);
  if (number < 1 || number > ACQ_ROW_COUNT) return -1;
  const int row = static_cast<int>(number - 1);
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

}  // namespace

CsvEncoding CsvFileEncoding(std::string_view firstLine) {
  if (firstLine.starts_with(UTF8_BOM)) firstLine.remove_prefix(UTF8_BOM.size());
  return firstLine == CSV_HEADER ? CsvEncoding::Utf8 : CsvEncoding::Gbk;
}

std::string CsvLineText(std::string_view line, CsvEncoding encoding) {
  // A comma is never part of a GBK double-byte character, so the cut can follow conversion.
  if (encoding == CsvEncoding::Utf8 || IsAscii(line)) return std::string(line);
  return GbkToUtf8(line);
}

int32_t ApplyCsvLine(AcqGrid& grid, std::string_view line, CsvEncoding encoding) {
  return ApplyUtf8Line(grid, CsvLineText(line, encoding));
}

CsvResult ImportCsvLines(AcqGrid& grid, const std::function<bool(std::string&)>& nextLine,
                         CsvImportNotes* notes) {
  CsvImportNotes local;
  CsvImportNotes& n = notes != nullptr ? *notes : local;
  std::string line;
  if (!nextLine(line)) return CsvResult::Mismatch;
  // Behind a byte-order mark only the UTF-8 header will do.
  const bool bom = line.starts_with(UTF8_BOM);
  const std::string_view header = bom ? std::string_view(line).substr(UTF8_BOM.size()) : line;
  const CsvEncoding encoding = CsvFileEncoding(line);
  n.utf8 = encoding == CsvEncoding::Utf8;
  if (!n.utf8 && (bom || header != HeaderGbk())) {
    n.firstLine = bom || IsUtf8(line) ? std::string(header) : GbkToUtf8(line);
    return CsvResult::Mismatch;
  }
  for (int number = 2; nextLine(line); ++number) {
    const int32_t row = ApplyCsvLine(grid, line, encoding);
    if (row < 0 && !IsBlankLine(line)) n.skipped.push_back(number);
  }
  return CsvResult::Imported;
}

CsvResult ImportCsv(AcqGrid& grid, const std::string& path, CsvImportNotes* notes) {
  CKXFileTxt file;
  if (!file.Open(path, CKXFileTxt::Mode::Read)) return CsvResult::OpenFailed;
  const CsvResult result = ImportCsvLines(
      grid, [&file](std::string& line) { return file.ReadString(line); }, notes);
  file.Close();
  return result;
}

}  // namespace qv31
