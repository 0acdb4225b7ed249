#include <windows.h>

#include "text/gbk_char.h"

namespace qv31::gbk_char {
namespace {

constexpr UINT CODE_PAGE_GBK = 936;

}  // namespace

std::string Encode(char32_t codePoint) {
  wchar_t wide[2];
  int wideLength = 1;
  if (codePoint >= 0x10000) {
    wide[0] = static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    wide[1] = static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    wideLength = 2;
  } else {
    wide[0] = static_cast<wchar_t>(codePoint);
  }
  char bytes[8];
  BOOL usedDefault = FALSE;
  // No best fit: a character without its own GBK code is refused, never approximated.
  const int n = WideCharToMultiByte(CODE_PAGE_GBK, WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes,
                                    sizeof bytes, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return {};
  return std::string(bytes, static_cast<size_t>(n));
}

char32_t Decode(uint8_t lead, uint8_t trail) {
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t wide[2];
  const int n = MultiByteToWideChar(CODE_PAGE_GBK, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2);
  return n == 1 ? static_cast<char32_t>(wide[0]) : 0;
}

}  // namespace qv31::gbk_char
