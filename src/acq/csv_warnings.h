#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv31 {

// A table file larger than this is refused unread: a whole export is about 12 KB, and two
// exports within one second share a name and append.
constexpr size_t CSV_FILE_MAX = size_t{1} << 20;

// A file's lines as the text file reader gives them: split at LF, a CR before it dropped,
// a last line without its line end kept.
std::vector<std::string> SplitCsvLines(std::string_view bytes);

// What the import rules will do to one data line that its author probably does not mean:
// bytes that are no table text (binary junk, control bytes, broken GBK) with their byte
// column, no row number from 1 to 255, a channel or type that names nothing, a number that
// does not fit its field. Each text starts with "line N". `lineNumber` counts from 1, the
// header being line 1.
std::vector<std::string> CsvLineWarnings(std::string_view gbkLine, int lineNumber);

}  // namespace qv31
