#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "link/link_frame.h"
#include "sim/factory_state.h"

namespace qv31::simtest {

using Bytes = std::vector<uint8_t>;

// Every frame the tool sends, from the tool's frame table.
inline std::vector<FrameHeader> ToolRequests() {
  std::vector<FrameHeader> all = {{3, 2, 0, 18}, {1, 2, 6, 320},   {1, 2, 8, 12},  {1, 2, 13, 2},
                                  {1, 1, 8, 15}, {1, 2, 158, 104}, {1, 1, 164, 98}};
  for (const uint16_t at : {6, 320, 322, 324}) {
    all.insert(all.end(), {{1, 2, at, 2}, {1, 1, at, 2}});
  }
  for (uint16_t at = 0; at < 0x800; at += 0x200) {
    all.insert(all.end(), {{2, 2, at, 512}, {2, 1, at, 512}});
  }
  all.push_back({2, 1, 0, 1});  // stop
  return all;
}

// A request as the tool would send it; writes carry bytes made from `seed`, except the stop
// frame (the one-byte write), which always carries its 00.
inline Bytes RequestFrame(const FrameHeader& r, uint8_t seed = 0x30) {
  Bytes payload;
  for (uint16_t i = 0; r.opCode == OP_WRITE && i < r.length; ++i) {
    payload.push_back(r.length == 1 ? 0 : static_cast<uint8_t>(seed + i * 7));
  }
  return EncodeFrame(r, payload);
}

// Input nothing may answer: a random block of up to 1100 bytes (kind 0), or a tool frame with
// one byte changed (kind 1; one changed byte always breaks the CRC), then cut or padded with
// zeros (kind 2).
inline Bytes BrokenFrame(std::mt19937& rng, int kind) {
  static const std::vector<Bytes> tool = [] {
    std::vector<Bytes> frames;
    for (const FrameHeader& r : ToolRequests()) frames.push_back(RequestFrame(r));
    return frames;
  }();
  Bytes f;
  if (kind == 0) {
    f.resize(rng() % 1100 + 3);
    for (size_t k = 0; k + 3 < f.size(); k += 4) {
      const uint32_t r = rng();
      std::memcpy(&f[k], &r, 4);
    }
    f.resize(f.size() - 3);
    return f;
  }
  f = tool[rng() % tool.size()];
  f[rng() % f.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
  if (kind == 2) f.resize(rng() % (f.size() + 4), 0x00);
  return f;
}

// The gateway's memory as the test keeps it: plain copies of the three areas, with device
// addresses turned into offsets here, independently of the simulator's own bookkeeping.
struct ModelMemory {
  std::array<Bytes, 4> areas;
  ModelMemory() {
    const GatewayMemory factory = FactoryMemory();
    for (uint8_t a = 1; a <= 3; ++a) {
      const auto bytes = factory.AreaBytes(a);
      areas[a].assign(bytes.begin(), bytes.end());
    }
  }
  static uint16_t Base(uint8_t area) { return area == AREA_PARAMS ? 6 : 0; }

  // The reply the gateway owes a valid request, applying a write.
  Bytes Expect(const Bytes& request) {
    const uint8_t area = request[8];
    const uint16_t address = static_cast<uint16_t>(request[10] | request[11] << 8);
    const uint16_t length = static_cast<uint16_t>(request[12] | request[13] << 8);
    const auto at = areas[area].begin() + (address - Base(area));
    if (request[9] == OP_WRITE) {
      std::copy_n(request.begin() + 14, length, at);
      return EncodeFrame({area, OP_WRITE_ACK, address, length});
    }
    return EncodeFrame({area, OP_READ_REPLY, address, length}, Bytes(at, at + length));
  }
  bool Holds(const GatewayMemory& memory) const {
    for (uint8_t a = 1; a <= 3; ++a) {
      if (!std::equal(areas[a].begin(), areas[a].end(), memory.AreaBytes(a).begin())) return false;
    }
    return true;
  }
};

}  // namespace qv31::simtest
