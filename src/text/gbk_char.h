#pragma once

#include <cstdint>
#include <string>

// One GBK character at a time, through the system's own converter (glibc's iconv on Linux,
// code page 936 on Windows). Only non-ASCII characters come here; gbk.cpp holds the rules that
// make both systems accept and refuse the same bytes.
namespace qv31::gbk_char {

// The two GBK bytes of a code point above U+007F; empty when the converter has none.
std::string Encode(char32_t codePoint);
// The code point of a double-byte GBK character; 0 when the converter refuses it.
char32_t Decode(uint8_t lead, uint8_t trail);

}  // namespace qv31::gbk_char
