#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv31 {

// Text inside the program is UTF-8. The gateway's texts and our files are GBK (code page 936);
// these are the only two crossings.

// UTF-8 to GBK. A character GBK cannot hold, or a byte that is not valid UTF-8, becomes '?'.
std::string Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. A byte sequence that is not valid GBK becomes U+FFFD per bad byte, so no
// input can fail or be dropped silently.
std::string GbkToUtf8(std::string_view gbk);

// True when every character of the UTF-8 text has a GBK form (so Utf8ToGbk puts no '?' of
// its own in).
bool FitsGbk(std::string_view utf8);

// True when the bytes are valid GBK text (GbkToUtf8 replaces nothing).
bool IsValidGbk(std::string_view gbk);

// Length of the longest prefix of at most maxBytes GBK bytes that does not split a
// double-byte character.
size_t GbkPrefixLength(std::string_view gbk, size_t maxBytes);

// The text of a fixed-size GBK field of the gateway (identity, domain): the bytes before the
// first zero, at most maxBytes of them without splitting a character, in UTF-8.
std::string GbkFieldText(std::span<const uint8_t> field, size_t maxBytes);

// UTF-8 text cut so that its GBK form has at most maxBytes bytes, never inside a character.
std::string Utf8CutToGbkBytes(std::string_view utf8, size_t maxBytes);

}  // namespace qv31
