#include "text/gbk.h"

#include <algorithm>

#include "text/gbk_char.h"

namespace qv31 {
namespace {

constexpr std::string_view REPLACEMENT_UTF8 = "\xEF\xBF\xBD";  // U+FFFD

// The private use area: code page 936 maps a few codes (A8 BF, FE FE among them) there that
// glibc's GBK refuses. Text that means nothing to anyone else is refused on both systems.
bool IsPrivateUse(char32_t cp) { return cp >= 0xE000 && cp <= 0xF8FF; }

bool IsGbkLead(uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool IsGbkTrail(uint8_t b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// One code point from valid UTF-8 at the start of `s` (shortest form, no surrogates, at most
// U+10FFFF); `length` receives its byte count. 0 with length 0 when the bytes are not valid.
char32_t DecodeUtf8(std::string_view s, size_t& length) {
  const auto at = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = at(0);
  length = 0;
  size_t n = 0;
  char32_t cp = 0, minimum = 0;
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  if (lead >= 0xC2 && lead <= 0xDF) n = 2, cp = lead & 0x1F, minimum = 0x80;
  if (lead >= 0xE0 && lead <= 0xEF) n = 3, cp = lead & 0x0F, minimum = 0x800;
  if (lead >= 0xF0 && lead <= 0xF4) n = 4, cp = lead & 0x07, minimum = 0x10000;
  if (n == 0 || s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((at(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (at(i) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = n;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The GBK form of one non-ASCII code point, or empty: only a double-byte character counts
// (code page 936 also gives 0x80 for the euro sign, which glibc's GBK does not).
std::string EncodeGbk(char32_t cp) {
  if (IsPrivateUse(cp)) return {};
  std::string bytes = gbk_char::Encode(cp);
  const bool doubleByte = bytes.size() == 2 && IsGbkLead(static_cast<uint8_t>(bytes[0])) &&
                          IsGbkTrail(static_cast<uint8_t>(bytes[1]));
  return doubleByte ? bytes : std::string();
}

// Walks GBK text: ASCII bytes as they are, valid double-byte characters decoded, every other
// byte (0x80, 0xFF, a lead without a valid trail, a refused code) handed to `bad` alone.
template <typename Bad>
std::string DecodeGbk(std::string_view gbk, Bad bad) {
  std::string out;
  size_t i = 0;
  while (i < gbk.size()) {
    const auto b = static_cast<uint8_t>(gbk[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    if (IsGbkLead(b) && i + 1 < gbk.size() && IsGbkTrail(static_cast<uint8_t>(gbk[i + 1]))) {
      const char32_t cp = gbk_char::Decode(b, static_cast<uint8_t>(gbk[i + 1]));
      if (cp != 0 && !IsPrivateUse(cp)) {
        AppendUtf8(out, cp);
        i += 2;
        continue;
      }
    }
    bad(out);
    ++i;
  }
  return out;
}

size_t Utf8SequenceLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  // Only skip continuation bytes that are really there.
  size_t i = 1;
  while (i < n && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t length = 0;
    const char32_t cp = DecodeUtf8(utf8.substr(i), length);
    const std::string gbk = length == 0 ? std::string()
                            : cp < 0x80 ? std::string(1, static_cast<char>(cp))
                                        : EncodeGbk(cp);
    if (gbk.empty()) {
      out += '?';
      i += std::max<size_t>(1, Utf8SequenceLength(utf8.substr(i)));
      continue;
    }
    out += gbk;
    i += length;
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  return DecodeGbk(gbk, [](std::string& out) { out += REPLACEMENT_UTF8; });
}

bool FitsGbk(std::string_view utf8) { return GbkToUtf8(Utf8ToGbk(utf8)) == utf8; }

bool IsValidGbk(std::string_view gbk) {
  bool valid = true;
  DecodeGbk(gbk, [&valid](std::string&) { valid = false; });
  return valid;
}

size_t GbkPrefixLength(std::string_view gbk, size_t maxBytes) {
  size_t i = 0;
  while (i < gbk.size()) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    const size_t width = (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
  }
  return i;
}

std::string Utf8CutToGbkBytes(std::string_view utf8, size_t maxBytes) {
  const std::string gbk = Utf8ToGbk(utf8);
  return GbkToUtf8(std::string_view(gbk).substr(0, GbkPrefixLength(gbk, maxBytes)));
}

std::string GbkFieldText(std::span<const uint8_t> field, size_t maxBytes) {
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  const std::string_view gbk(reinterpret_cast<const char*>(field.data()),
                             static_cast<size_t>(end - field.begin()));
  return GbkToUtf8(gbk.substr(0, GbkPrefixLength(gbk, maxBytes)));
}

}  // namespace qv31
