#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qv31 {

// Every frame is built in, and every received block taken into, a buffer of this size.
constexpr int32_t LINK_BUFFER_SIZE = 1024;
// The UDP port a gateway answers on unless configured otherwise.
constexpr uint16_t GATEWAY_UDP_PORT = 2332;
constexpr int32_t FRAME_HEADER_SIZE = 14;  // preamble 8, area, opcode, address 2, length 2
constexpr int32_t FRAME_CRC_SIZE = 2;

constexpr std::array<uint8_t, 8> LinkPreamble = {0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE};

enum Area : uint8_t { AREA_PARAMS = 1, AREA_TABLE = 2, AREA_IDENT = 3 };
enum OpCode : uint8_t { OP_WRITE = 1, OP_READ = 2, OP_READ_REPLY = 3, OP_WRITE_ACK = 4 };

// CRC-16/MODBUS: polynomial 0x8005 reflected (0xA001), initial 0xFFFF, reflected in and out,
// no final XOR. Check value over "123456789" is 0x4B37, on the wire 37 4B.
// Returns the two bytes in wire order: low, high.
std::array<uint8_t, 2> ComputeFrameCrc(const uint8_t* data, uint16_t count);
bool CheckFrameCrc(const uint8_t* data, uint16_t count, uint8_t expectLow, uint8_t expectHigh);

// Header fields of a frame; address and length travel little-endian.
struct FrameHeader {
  uint8_t area = 0;
  uint8_t opCode = 0;
  uint16_t address = 0;
  uint16_t length = 0;
  bool operator==(const FrameHeader&) const = default;
};

// A frame as the builders see it. Encode() follows the builders' steps exactly: preamble,
// the six header bytes, the payload for OP_WRITE and OP_READ_REPLY only, then the CRC over
// everything before it, low byte first.
struct LinkFrame {
  FrameHeader header;
  std::vector<uint8_t> payload;

  std::vector<uint8_t> Encode() const;
};

std::vector<uint8_t> EncodeFrame(const FrameHeader& header, std::span<const uint8_t> payload = {});

// The header fields of a frame's first FRAME_HEADER_SIZE bytes, the preamble not examined;
// nullopt for fewer bytes.
std::optional<FrameHeader> DecodeHeader(std::span<const uint8_t> bytes);

// Checks a received block the way the engine does: fewer than 2 bytes are not examined;
// the CRC covers all but the last two bytes (so anything behind a frame fails); then the
// preamble. `block` must hold LINK_BUFFER_SIZE bytes, zero past `length`, since header
// fields of a short block are read from that zero tail.
std::optional<FrameHeader> ValidateBlock(const uint8_t* block, int32_t length);

}  // namespace qv31
