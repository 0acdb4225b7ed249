#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "acq/ckx_file_txt.h"
#include "acq/csv_file.h"

namespace qv31 {

// A file's lines as the text file reader gives them: split at LF, a CR before it dropped,
// a last line without its line end kept.
std::vector<std::string> SplitCsvLines(std::string_view bytes);

// What the import rules will do to one data line that its author probably does not mean:
// bytes that are no table text (binary junk, control bytes, a broken character of the file's
// encoding) with their byte column, no row number from 1 to 255, a channel or type that
// names nothing, a number that does not fit its field. Each text starts with "line N".
// `lineNumber` counts from 1, the header being line 1; `encoding` is the file's, as
// CsvFileEncoding reads it from the first line.
std::vector<std::string> CsvLineWarnings(std::string_view line, int lineNumber,
                                         CsvEncoding encoding = CsvEncoding::Gbk);

}  // namespace qv31
