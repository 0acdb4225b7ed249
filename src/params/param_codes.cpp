#include "params/param_codes.h"

#include <array>

namespace qv31 {
namespace {

constexpr std::array<std::string_view, 9> kBaudTexts = {"1200",  "2400",  "4800",  "9600",  "14400",
                                                        "19200", "38400", "57600", "115200"};
constexpr std::array<uint8_t, 9> kBaudCodes = {3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<int8_t, 12> kBaudPositions = {-1, -1, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8};

constexpr std::array<std::string_view, 6> kFormatTexts = {"n,8,1", "o,8,1", "e,8,1",
                                                          "n,8,2", "o,8,2", "e,8,2"};
constexpr std::array<uint8_t, 6> kFormatCodes = {0, 1, 2, 5, 6, 7};
constexpr std::array<int8_t, 8> kFormatPositions = {0, 1, 2, 1, 2, 3, 4, 5};

constexpr std::array<std::string_view, 4> kProtocolTexts = {"TCP Server", "TCP Client",
                                                            "UDP Server", "UDP Client"};
constexpr std::array<uint8_t, 4> kProtocolCodes = {0, 1, 2, 3};
constexpr std::array<int8_t, 4> kProtocolPositions = {0, 1, 2, 3};

const CodeTable kBaud{kBaudTexts, kBaudCodes, kBaudPositions};
const CodeTable kFormat{kFormatTexts, kFormatCodes, kFormatPositions};
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
