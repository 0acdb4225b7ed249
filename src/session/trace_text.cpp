#include "session/trace_text.h"

#include <array>
#include <cstdio>

#include "link/hex_codec.h"
#include "link/link_frame.h"

namespace qv31 {
namespace {

struct Name {
  uint8_t code;
  std::string_view text;
};
constexpr std::array<Name, 4> OPERATIONS = {
    {{OP_WRITE, "写"}, {OP_READ, "读"}, {OP_READ_REPLY, "读应答"}, {OP_WRITE_ACK, "写应答"}}};

constexpr std::array<std::string_view, 9> FATES = {
    "发送",     "重发",           "过短",         "校验错误",     "前导码错误",
    "完成请求", "迟到应答，丢弃", "无匹配，丢弃", "停止采集应答",
};

}  // namespace

std::string DescribeHeader(std::span<const uint8_t> block) {
  const auto header = DecodeHeader(block);
  if (!header) return {};
  const uint8_t op = header->opCode;
  std::string opText = "操作" + std::to_string(op);
  for (const Name& n : OPERATIONS) {
    if (n.code == op) opText = n.text;
  }
  return "区" + std::to_string(header->area) + " " + opText + " 地址" +
         std::to_string(header->address) + " 长度" + std::to_string(header->length);
}

std::string_view FateText(BlockFate fate) { return FATES[static_cast<size_t>(fate)]; }

std::string TraceLine(const LinkEvent& event, uint32_t sinceMs) {
  char head[48];
  std::snprintf(head, sizeof head, "%8u ms %s %4zu B ", event.ms - sinceMs, event.sent ? ">" : "<",
                event.bytes.size());
  std::string line = head;
  const std::string header = DescribeHeader(event.bytes);
  line += header.empty() ? "-" : header;
  line += " | ";
  line += FateText(event.fate);
  line += " | ";
  line += HexText(event.bytes);
  return line;
}

}  // namespace qv31
