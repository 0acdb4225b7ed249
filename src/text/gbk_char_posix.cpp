#include <iconv.h>

#include "text/gbk_char.h"

namespace qv31::gbk_char {
namespace {

// One converter per direction and thread, opened on first use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Opened()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The whole input converted, or nothing.
  std::string Run(const char* input, size_t length) {
    if (!Opened()) return {};
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    char buffer[8];
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(cd_, &in, &length, &out, &outLeft) == static_cast<size_t>(-1) || length != 0) {
      return {};
    }
    return std::string(buffer, static_cast<size_t>(out - buffer));
  }

 private:
  // iconv_open reports failure as (iconv_t)-1, an integer cast to a pointer by definition.
  bool Opened() const { return cd_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT
  iconv_t cd_;
};

}  // namespace

std::string Encode(char32_t codePoint) {
  thread_local Converter toGbk("GBK", "UTF-32LE");
  const char bytes[4] = {static_cast<char>(codePoint & 0xFF),
                         static_cast<char>((codePoint >> 8) & 0xFF),
                         static_cast<char>((codePoint >> 16) & 0xFF), 0};
  return toGbk.Run(bytes, sizeof bytes);
}

char32_t Decode(uint8_t lead, uint8_t trail) {
  thread_local Converter fromGbk("UTF-32LE", "GBK");
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  const std::string out = fromGbk.Run(bytes, sizeof bytes);
  if (out.size() != 4) return 0;
  char32_t cp = 0;
  for (int i = 3; i >= 0; --i)
    cp = (cp << 8) | static_cast<unsigned char>(out[static_cast<size_t>(i)]);
  return cp;
}

}  // namespace qv31::gbk_char
