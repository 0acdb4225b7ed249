#include "text/number_text.h"

#include <limits>

namespace qv31 {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct Scan {
  bool negative = false;
  uint64_t bits = 0;      // magnitude modulo 2^64
  bool overflow = false;  // magnitude did not fit in 64 bits
};

Scan ScanDecimal(std::string_view text) {
  Scan s;
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    s.negative = text[i] == '-';
    ++i;
  }
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (s.bits > (std::numeric_limits<uint64_t>::max() - digit) / 10) s.overflow = true;
    s.bits = s.bits * 10 + digit;  // wraps modulo 2^64 on purpose
  }
  return s;
}

}  // namespace

uint64_t LeadingDecimalBits(std::string_view text) {
  const Scan s = ScanDecimal(text);
  return s.negative ? ~s.bits + 1 : s.bits;
}

int64_t LeadingDecimal(std::string_view text) {
  const Scan s = ScanDecimal(text);
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (!s.negative) {
    return (s.overflow || s.bits > kMaxPositive) ? std::numeric_limits<int64_t>::max()
                                                 : static_cast<int64_t>(s.bits);
  }
  if (s.overflow || s.bits > kMaxPositive + 1) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(~s.bits + 1);
}

}  // namespace qv31
