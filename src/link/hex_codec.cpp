#include "link/hex_codec.h"

namespace qv31 {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string HexText(std::span<const uint8_t> bytes, std::string_view separator) {
  static constexpr char DIGITS[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * (2 + separator.size()));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += separator;
    text += DIGITS[bytes[i] >> 4];
    text += DIGITS[bytes[i] & 15];
  }
  return text;
}

bool DecodeHex(std::string_view text, std::vector<uint8_t>& out) {
  int high = -1;
  for (const char c : text) {
    if (c == ' ' || c == '\t') {
      if (high >= 0) return false;
      continue;
    }
    const int v = HexValue(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return high < 0;
}

}  // namespace qv31
