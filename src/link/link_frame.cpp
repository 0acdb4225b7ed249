#include "link/link_frame.h"

#include <algorithm>

namespace qv31 {
namespace {

// The two 256-entry Modbus tables: T1 starts 00 C1 81 40 ..., T2 starts 00 C0 C1 01 ...
struct CrcTables {
  std::array<uint8_t, 256> t1{};
  std::array<uint8_t, 256> t2{};
  constexpr CrcTables() {
    for (int i = 0; i < 256; ++i) {
      uint16_t crc = static_cast<uint16_t>(i);
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
      t1[i] = static_cast<uint8_t>(crc & 0xFF);
      t2[i] = static_cast<uint8_t>(crc >> 8);
    }
  }
};
constexpr CrcTables kCrc;

}  // namespace

std::array<uint8_t, 2> ComputeFrameCrc(const uint8_t* data, uint16_t count) {
  // T1 holds the low and T2 the high byte of the reflected CRC of each byte value; A ends
  // as the low byte, sent first.
  uint8_t a = 0xFF;
  uint8_t b = 0xFF;
  for (uint16_t k = 0; k < count; ++k) {
    const uint8_t i = data[k] ^ a;
    a = kCrc.t1[i] ^ b;
    b = kCrc.t2[i];
  }
  return {a, b};
}

bool CheckFrameCrc(const uint8_t* data, uint16_t count, uint8_t expectLow, uint8_t expectHigh) {
  const auto crc = ComputeFrameCrc(data, count);
  return crc[0] == expectLow && crc[1] == expectHigh;
}

std::vector<uint8_t> EncodeFrame(const FrameHeader& h, std::span<const uint8_t> payload) {
  std::vector<uint8_t> out(LinkPreamble.begin(), LinkPreamble.end());
  out.push_back(h.area);
  out.push_back(h.opCode);
  out.push_back(static_cast<uint8_t>(h.address & 0xFF));
  out.push_back(static_cast<uint8_t>(h.address >> 8));
  out.push_back(static_cast<uint8_t>(h.length & 0xFF));
  out.push_back(static_cast<uint8_t>(h.length >> 8));
  if (h.opCode == OP_WRITE || h.opCode == OP_READ_REPLY) {
    out.insert(out.end(), payload.begin(), payload.end());
  }
  const auto crc = ComputeFrameCrc(out.data(), static_cast<uint16_t>(out.size()));
  out.push_back(crc[0]);
  out.push_back(crc[1]);
  return out;
}

std::vector<uint8_t> LinkFrame::Encode() const { return EncodeFrame(header, payload); }

std::optional<FrameHeader> DecodeHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < static_cast<size_t>(FRAME_HEADER_SIZE)) return std::nullopt;
  FrameHeader h;
  h.area = bytes[8];
  h.opCode = bytes[9];
  h.address = static_cast<uint16_t>(bytes[10] | (bytes[11] << 8));
  h.length = static_cast<uint16_t>(bytes[12] | (bytes[13] << 8));
  return h;
}

std::optional<FrameHeader> ValidateBlock(const uint8_t* block, int32_t length) {
  if (block == nullptr || length < 2 || length > LINK_BUFFER_SIZE) return std::nullopt;
  const auto covered = static_cast<uint16_t>(length - 2);
  if (!CheckFrameCrc(block, covered, block[length - 2], block[length - 1])) return std::nullopt;
  if (!std::equal(LinkPreamble.begin(), LinkPreamble.end(), block)) return std::nullopt;
  return DecodeHeader({block, static_cast<size_t>(LINK_BUFFER_SIZE)});
}

}  // namespace qv31
