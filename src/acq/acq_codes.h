#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv31 {

constexpr std::string_view INVALID_TEXT = "无效";

// Classes of Modbus reference numbers: the base of the slave's numbering and of the
// gateway's buffer numbering.
enum class RefClass : uint8_t {
  Coil,
  DiscreteInput,
  InputRegister,
  HoldingRegister,
  BitInput,
  RegisterInput
};

// Variable types: the code is the Modbus function code; read/write entries store the write
// function, write-only entries the write function with bit 7 set.
struct VarType {
  uint8_t code;
  std::string_view text;
  RefClass varClass;     // for the slave's range ("*变量计算*")
  RefClass bufferClass;  // for the buffer's range ("*缓存计算*")
};

// The twelve types in list order.
std::span<const VarType> VarTypes();

// "COM1".."COM4" for codes 0..3, "无效" for every other code.
std::string ChannelText(uint8_t code);
// "无效" gives 0xFF; any other text the number rule over its GBK bytes 3 to 5 (after "COM"),
// minus 1, low 8 bits: "COM1" is 0, an empty text 0xFF, "COM9" 8.
uint8_t ChannelCode(std::string_view text);
// The type's text, or "无效" for a code outside the table.
std::string VarTypeText(uint8_t code);
// Exact, case-sensitive match against the twelve texts; anything else gives 0xFF.
uint8_t VarTypeCode(std::string_view text);

// "%05d~%05d" of the slave's reference numbers of count variables from start; "00000~00000"
// for a code outside the table. Arithmetic saturates at the 64-bit range.
std::string VarRangeText(uint8_t code, int64_t start, int64_t count);
// The same values' reference numbers in the gateway's buffer, where the buffer counts bytes.
std::string BufferRangeText(uint8_t code, int64_t buffer, int64_t count);

// The cells of the gateway's buffer that a row fills: `count` cells of `bufferClass` from
// `first` (bit classes count bits, register classes registers). False for a code outside
// the table.
struct BufferCells {
  RefClass bufferClass = RefClass::Coil;
  int64_t first = 0;
  int64_t count = 0;
};
bool BufferCellsOf(uint8_t code, int64_t buffer, int64_t count, BufferCells& cells);

}  // namespace qv31
