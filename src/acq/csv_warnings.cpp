#include "acq/csv_warnings.h"

#include <cstdio>

#include "acq/acq_codes.h"
#include "acq/acq_table.h"
#include "acq/csv_file.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

// The length of the well-formed UTF-8 character at the start of `text` (lead byte, then its
// continuation bytes; no overlong forms or surrogates), 0 when there is none.
size_t Utf8CharLength(std::string_view text) {
  const auto b = static_cast<unsigned char>(text[0]);
  const size_t n = b >= 0xC2 && b <= 0xDF   ? 2
                   : (b & 0xF0) == 0xE0     ? 3
                   : b >= 0xF0 && b <= 0xF4 ? 4
                                            : 0;
  if (n == 0 || text.size() < n) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return 0;
  }
  const auto b1 = static_cast<unsigned char>(text[1]);
  if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 >= 0xA0)) return 0;
  if ((b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 >= 0x90)) return 0;
  return n;
}

// The first byte that no exported line holds (a control byte, DEL, or a character of the
// file's encoding that does not decode), as a 0-based index; npos when the line is text.
size_t FirstJunkByte(std::string_view line, CsvEncoding encoding) {
  for (size_t i = 0; i < line.size(); ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (b < 0x20 || b == 0x7F) return i;
    if (b < 0x80) continue;
    const size_t n = encoding == CsvEncoding::Utf8 ? Utf8CharLength(line.substr(i))
                     : i + 1 < line.size() && IsValidGbk(line.substr(i, 2)) ? 2
                                                                            : 0;
    if (n == 0) return i;
    i += n - 1;
  }
  return std::string_view::npos;
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
  return text;
}

// Not a text the list itself shows: for a channel also "com1" or "X1", which the number rule
// still reads as a port.
bool IsForeignText(int column, const std::string& text) {
  if (text.empty() || text == INVALID_TEXT) return false;
  if (column == COL_CHANNEL) return ChannelText(ChannelCode(text)) != text;
  return VarTypeCode(text) == VAR_TYPE_NONE;
}

std::string CellWarning(int column, const std::string& text) {
  const std::string name(AcqColumns()[static_cast<size_t>(column)].jsonName);
  if (column == COL_CHANNEL && ChannelCode(text) <= 3) {
    return name + " \"" + text + "\" is not written as the list shows it; it is written as " +
           ChannelText(ChannelCode(text));
  }
  if (column == COL_CHANNEL) {
    return name + " \"" + text + "\" names none of COM1 to COM4 (written as " +
           Hex(ChannelCode(text)) + "); the gateway will not poll this row";
  }
  if (column == COL_TYPE) {
    return name + " \"" + text + "\" is none of the twelve types; it is written as " +
           std::string(INVALID_TEXT) + " (0xFF)";
  }
  return name + " \"" + text + "\" does not fit its field and is written as " +
         std::to_string(CutToAcqField(column, text));
}

}  // namespace

std::vector<std::string> SplitCsvLines(std::string_view bytes) {
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    const size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
  }
  return lines;
}

std::vector<std::string> CsvLineWarnings(std::string_view line, int lineNumber,
                                         CsvEncoding encoding) {
  std::vector<std::string> warnings;
  const std::string at = "line " + std::to_string(lineNumber);
  if (const size_t junk = FirstJunkByte(line, encoding); junk != std::string_view::npos) {
    warnings.push_back(at + ", column " + std::to_string(junk + 1) + ": byte " +
                       Hex(static_cast<unsigned char>(line[junk])) +
                       " is not table text (binary data or a broken " +
                       (encoding == CsvEncoding::Utf8 ? "UTF-8" : "GBK") + " character)");
  }
  AcqGrid scratch;
  const int row = ApplyCsvLine(scratch, line, encoding);
  if (row < 0) {
    warnings.push_back(at + ": no row number from 1 to 255 at its start; it changes nothing");
    return warnings;
  }
  for (const int column : AcqStoredColumns()) {
    const std::string& text = scratch.Cell(row, column);
    const bool number = AcqColumns()[static_cast<size_t>(column)].fieldMax != 0;
    if (number ? FitsAcqField(column, text) : !IsForeignText(column, text)) continue;
    warnings.push_back(at + " (row " + std::to_string(row + 1) + "): " + CellWarning(column, text));
  }
  return warnings;
}

}  // namespace qv31
