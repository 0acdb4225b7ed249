#include "transport/serial_line.h"

#include <cctype>

namespace qv31 {
namespace {

constexpr char PARITY_LETTERS[] = {'n', 'o', 'e', 'm', 's'};

}  // namespace

LineFormat ParseFormatText(std::string_view formatText) {
  auto at = [&](size_t i) {
    return i < formatText.size()
               ? static_cast<char>(std::tolower(static_cast<unsigned char>(formatText[i])))
               : '\0';
  };
  LineFormat format;
  format.parity = 'n';
  for (const char letter : PARITY_LETTERS) {
    if (letter == at(0)) format.parity = letter;
  }
  const char bits = at(2);
  format.dataBits = (bits >= '5' && bits <= '8') ? bits - '0' : 0;
  format.stopBits = at(4) == '1' ? 1 : 2;
  return format;
}

}  // namespace qv31
