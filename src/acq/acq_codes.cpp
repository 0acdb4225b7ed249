#include "acq/acq_codes.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "acq/acq_table.h"
#include "text/gbk.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

using R = RefClass;

constexpr std::array<VarType, 12> kVarTypes = {{
    {0x01, "01-R", R::Coil, R::BitInput},
    {0x02, "02-R", R::DiscreteInput, R::BitInput},
    {0x03, "03-R", R::HoldingRegister, R::RegisterInput},
    {0x04, "04-R", R::InputRegister, R::RegisterInput},
    {0x05, "01/05-RW", R::Coil, R::Coil},
    {0x06, "03/06-RW", R::HoldingRegister, R::HoldingRegister},
    {0x0F, "01/0F-RW", R::Coil, R::Coil},
    {0x10, "03/10-RW", R::HoldingRegister, R::HoldingRegister},
    {0x85, "05-W", R::Coil, R::Coil},
    {0x86, "06-W", R::HoldingRegister, R::HoldingRegister},
    {0x8F, "0F-W", R::Coil, R::Coil},
    {0x90, "10-W", R::HoldingRegister, R::HoldingRegister},
}};

// Reference number bases: for addresses up to 9999 and above it; bit classes count 8 per
// buffer byte, register classes one per 2 bytes.
struct ClassRule {
  int64_t lowBase;
  int64_t highBase;
  int64_t bufferMultiply;
  int64_t bufferDivide;
};
constexpr std::array<ClassRule, 6> kClassRules = {{
    {0, 0, 8, 1},           // Coil
    {10000, 100000, 8, 1},  // DiscreteInput
    {30000, 300000, 1, 2},  // InputRegister
    {40000, 400000, 1, 2},  // HoldingRegister
    {10000, 100000, 8, 1},  // BitInput
    {30000, 300000, 1, 2},  // RegisterInput
}};
constexpr int64_t kLowLimit = 9999;

const VarType* FindType(uint8_t code) {
  for (const VarType& t : kVarTypes) {
    if (t.code == code) return &t;
  }
  return nullptr;
}

int64_t SatAdd(int64_t a, int64_t b) {
  int64_t r = 0;
  if (!__builtin_add_overflow(a, b, &r)) return r;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t SatMul(int64_t a, int64_t b) {
  int64_t r = 0;
  if (!__builtin_mul_overflow(a, b, &r)) return r;
  return (a < 0) != (b < 0) ? std::numeric_limits<int64_t>::min()
                            : std::numeric_limits<int64_t>::max();
}

std::string RangeText(int64_t first, int64_t last) {
  char text[64];
  std::snprintf(text, sizeof text, "%05" PRId64 "~%05" PRId64, first, last);
  return text;
}

std::string Range(int64_t base, int64_t offset, int64_t count) {
  const int64_t from = SatAdd(base, offset);
  return RangeText(SatAdd(from, 1), SatAdd(from, count));
}

}  // namespace

std::span<const VarType> VarTypes() { return kVarTypes; }

std::string ChannelText(uint8_t code) {
  if (code < 4) return "COM" + std::to_string(code + 1);
  return std::string(INVALID_TEXT);
}

uint8_t ChannelCode(std::string_view text) {
  if (text == INVALID_TEXT) return CHANNEL_NONE;
  // Byte positions count GBK bytes; they agree with UTF-8 while the first three are ASCII.
  std::string gbk;
  const bool asciiHead = text.size() < 3 || ((static_cast<unsigned char>(text[0]) |
                                              static_cast<unsigned char>(text[1]) |
                                              static_cast<unsigned char>(text[2])) < 0x80);
  if (!asciiHead) {
    gbk = Utf8ToGbk(text);
    text = gbk;
  }
  const std::string_view digits = text.size() > 3 ? text.substr(3, 3) : std::string_view{};
  return static_cast<uint8_t>(LeadingDecimalBits(digits) - 1);
}

std::string VarTypeText(uint8_t code) {
  const VarType* t = FindType(code);
  return std::string(t != nullptr ? t->text : INVALID_TEXT);
}

uint8_t VarTypeCode(std::string_view text) {
  for (const VarType& t : kVarTypes) {
    if (t.text == text) return t.code;
  }
  return VAR_TYPE_NONE;
}

std::string VarRangeText(uint8_t code, int64_t start, int64_t count) {
  const VarType* t = FindType(code);
  if (t == nullptr) return RangeText(0, 0);
  const ClassRule& rule = kClassRules[static_cast<size_t>(t->varClass)];
  const int64_t base = start <= kLowLimit ? rule.lowBase : rule.highBase;
  return Range(base, start, count);
}

std::string BufferRangeText(uint8_t code, int64_t buffer, int64_t count) {
  const VarType* t = FindType(code);
  if (t == nullptr) return RangeText(0, 0);
  const ClassRule& rule = kClassRules[static_cast<size_t>(t->bufferClass)];
  // The low/high test looks at the buffer byte offset itself, not at the reference offset.
  const int64_t base = buffer <= kLowLimit ? rule.lowBase : rule.highBase;
  const int64_t offset = SatMul(buffer, rule.bufferMultiply) / rule.bufferDivide;
  return Range(base, offset, count);
}

bool BufferCellsOf(uint8_t code, int64_t buffer, int64_t count, BufferCells& cells) {
  const VarType* t = FindType(code);
  if (t == nullptr) return false;
  const ClassRule& rule = kClassRules[static_cast<size_t>(t->bufferClass)];
  cells = {t->bufferClass, SatMul(buffer, rule.bufferMultiply) / rule.bufferDivide, count};
  return true;
}

}  // namespace qv31
