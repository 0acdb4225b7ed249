#include "params/param_codes.h"

#include <array>

#include "text/choice_texts.h"

namespace qv31 {
namespace {

constexpr std::array<uint8_t, 9> kBaudCodes = {3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<int8_t, 12> kBaudPositions = {-1, -1, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8};

constexpr std::array<uint8_t, 6> kFormatCodes = {0, 1, 2, 5, 6, 7};
constexpr std::array<int8_t, 8> kFormatPositions = {0, 1, 2, 1, 2, 3, 4, 5};

constexpr std::array<std::string_view, 4> kProtocolTexts = {"TCP Server", "TCP Client",
                                                            "UDP Server", "UDP Client"};
constexpr std::array<uint8_t, 4> kProtocolCodes = {0, 1, 2, 3};
constexpr std::array<int8_t, 4> kProtocolPositions = {0, 1, 2, 3};

const CodeTable kBaud{BAUD_TEXTS, kBaudCodes, kBaudPositions};
const CodeTable kFormat{FORMAT_TEXTS, kFormatCodes, kFormatPositions};
const CodeTable kProtocol{kProtocolTexts, kProtocolCodes, kProtocolPositions};

}  // namespace

int32_t CodeTable::CodeOf(int position) const {
  if (position < 0 || static_cast<size_t>(position) >= codeOfPosition.size()) return -1;
  return codeOfPosition[static_cast<size_t>(position)];
}

int32_t CodeTable::PositionOf(int code) const {
  if (code < 0 || static_cast<size_t>(code) >= positionOfCode.size()) return -1;
  return positionOfCode[static_cast<size_t>(code)];
}

std::string_view CodeTable::TextOf(int position) const {
  if (position < 0 || static_cast<size_t>(position) >= texts.size()) return {};
  return texts[static_cast<size_t>(position)];
}

int32_t CodeTable::PositionOfText(std::string_view text) const {
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == text) return static_cast<int32_t>(i);
  }
  return -1;
}

const CodeTable& BaudCodes() { return kBaud; }
const CodeTable& FormatCodes() { return kFormat; }
const CodeTable& ChannelProtocols() { return kProtocol; }

}  // namespace qv31
