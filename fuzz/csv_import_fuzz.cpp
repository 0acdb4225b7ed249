// Feeds arbitrary bytes through the table file's import rules and its warnings, split into
// lines the way the file reader splits them, and checks that the row numbers never change.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_grid.h"
#include "acq/csv_file.h"
#include "acq/csv_warnings.h"
#include "text/gbk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qv31::AcqGrid grid;
  static const std::string headerGbk = qv31::Utf8ToGbk(qv31::CSV_HEADER);
  const std::vector<std::string> lines =
      qv31::SplitCsvLines(std::string_view(reinterpret_cast<const char*>(data), size));
  size_t at = 0;
  // Every other input starts with a valid header, so the data lines are reached too.
  bool header = size % 2 == 0;
  const auto next = [&](std::string& line) {
    if (header) {
      header = false;
      line = headerGbk;
      return true;
    }
    if (at == lines.size()) return false;
    line = lines[at++];
    qv31::CsvLineWarnings(line, static_cast<int>(at) + 1);
    return true;
  };
  qv31::ImportCsvLines(grid, next);
  static const std::vector<std::string> numbers = [] {
    std::vector<std::string> v;
    for (int r = 1; r <= qv31::ACQ_ROW_COUNT; ++r) v.push_back(std::to_string(r));
    return v;
  }();
  for (int r = 0; r < qv31::ACQ_ROW_COUNT; ++r) {
    if (grid.Cell(r, qv31::COL_NUMBER) != numbers[static_cast<size_t>(r)]) std::abort();
  }
  return 0;
}
