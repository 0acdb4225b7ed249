#include "text/gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace qv31 {
namespace {

// iconv_open reports failure as (iconv_t)-1, an integer cast to a pointer by its own definition.
bool IconvOpened(iconv_t cd) {
  return cd != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (IconvOpened(cd_)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts input; on an invalid or unconvertible sequence skips `skip(in)` bytes and appends
  // `replacement` instead.
  template <typename Skip>
  std::string Run(std::string_view input, std::string_view replacement, Skip skip) {
    std::string out;
    if (!IconvOpened(cd_)) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
      char* o = buffer;
      size_t oLeft = sizeof buffer;
      const size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buffer, static_cast<size_t>(o - buffer));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut at the end): replace and move on.
      const size_t n = std::min(inLeft, skip(std::string_view(in, inLeft)));
      in += n;
      inLeft -= n;
      out.append(replacement);
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

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
  Converter c("GBK", "UTF-8");
  return c.Run(utf8, "?", Utf8SequenceLength);
}

std::string GbkToUtf8(std::string_view gbk) {
  Converter c("UTF-8", "GBK");
  return c.Run(gbk, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

bool FitsGbk(std::string_view utf8) { return GbkToUtf8(Utf8ToGbk(utf8)) == utf8; }

bool IsValidGbk(std::string_view gbk) {
  Converter c("UTF-8", "GBK");
  bool valid = true;
  c.Run(gbk, "", [&valid](std::string_view) {
    valid = false;
    return size_t{1};
  });
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
