#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "link/link_frame.h"
#include "sim/factory_state.h"

namespace qv31::simtest {

using Bytes = std::vector<uint8_t>;

// Every frame the tool sends, from the tool's frame table.
struct ToolRequest {
  const char* name;
  uint8_t area;
  uint8_t opCode;
  uint16_t address;
  uint16_t length;
};
inline constexpr ToolRequest kToolRequests[] = {
    {"identity", 3, 2, 0, 18},
    {"whole image", 1, 2, 6, 320},
    {"4G read", 1, 2, 8, 12},
    {"4G pre-read", 1, 2, 13, 2},
    {"4G write", 1, 1, 8, 15},
    {"port 1 read", 1, 2, 6, 2},
    {"port 1 write", 1, 1, 6, 2},
    {"port 2 read", 1, 2, 320, 2},
    {"port 2 write", 1, 1, 320, 2},
    {"port 3 read", 1, 2, 322, 2},
    {"port 3 write", 1, 1, 322, 2},
    {"port 4 read", 1, 2, 324, 2},
    {"port 4 write", 1, 1, 324, 2},
    {"network read", 1, 2, 158, 104},
    {"network write", 1, 1, 164, 98},
    {"table read 0", 2, 2, 0x000, 512},
    {"table read 1", 2, 2, 0x200, 512},
    {"table read 2", 2, 2, 0x400, 512},
    {"table read 3", 2, 2, 0x600, 512},
    {"table write 0", 2, 1, 0x000, 512},
    {"table write 1", 2, 1, 0x200, 512},
    {"table write 2", 2, 1, 0x400, 512},
    {"table write 3", 2, 1, 0x600, 512},
    {"stop", 2, 1, 0, 1},
};

inline Bytes RequestFrame(const ToolRequest& r, uint8_t seed = 0x30) {
  Bytes payload;
  if (r.opCode == OP_WRITE) {
    for (uint16_t i = 0; i < r.length; ++i) payload.push_back(static_cast<uint8_t>(seed + i * 7));
  }
  return EncodeFrame({r.area, r.opCode, r.address, r.length}, payload);
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

  // The reply the gateway owes `request` (one of kToolRequests), applying a write.
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
};

}  // namespace qv31::simtest
