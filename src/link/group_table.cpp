#include "link/group_table.h"

namespace qv31 {
namespace {

constexpr FrameHeader Read(uint8_t area, uint16_t address, uint16_t length) {
  return {area, OP_READ, address, length};
}
constexpr FrameHeader Write(uint8_t area, uint16_t address, uint16_t length) {
  return {area, OP_WRITE, address, length};
}
constexpr GroupFrames None() { return {}; }
constexpr GroupFrames One(FrameHeader h) { return {{h}, 1}; }
constexpr GroupFrames Two(FrameHeader a, FrameHeader b) { return {{a, b}, 2}; }
constexpr GroupFrames TableBlocks(uint8_t op) {
  GroupFrames f{};
  for (uint16_t k = 0; k < 4; ++k) {
    f.headers[k] = {AREA_TABLE, op, static_cast<uint16_t>(k * TABLE_BLOCK_BYTES),
                    TABLE_BLOCK_BYTES};
  }
  f.count = 4;
  return f;
}

constexpr uint16_t SHOW_WHOLE =
    SHOW_4G | SHOW_PORT1 | SHOW_PORT2 | SHOW_PORT3 | SHOW_PORT4 | SHOW_NETWORK;

// Port 1 sits at the start of the image, ports 2 to 4 at its end. The 4G "设置" reads word13
// (address 13) first and writes from address 8 on; the network write starts at the flags
// (164) so the MAC address before them is never written.
constexpr GroupEntry GROUPS[] = {
    {GroupId::Identity, "identity", SHOW_VERSION, One(Read(AREA_IDENT, 0, IDENT_SIZE)), None()},
    {GroupId::Params, "params", SHOW_WHOLE, One(Read(AREA_PARAMS, 6, 320)), None()},
    {GroupId::Port1, "port1", SHOW_PORT1, One(Read(AREA_PARAMS, 6, 2)),
     One(Write(AREA_PARAMS, 6, 2))},
    {GroupId::Port2, "port2", SHOW_PORT2, One(Read(AREA_PARAMS, 320, 2)),
     One(Write(AREA_PARAMS, 320, 2))},
    {GroupId::Port3, "port3", SHOW_PORT3, One(Read(AREA_PARAMS, 322, 2)),
     One(Write(AREA_PARAMS, 322, 2))},
    {GroupId::Port4, "port4", SHOW_PORT4, One(Read(AREA_PARAMS, 324, 2)),
     One(Write(AREA_PARAMS, 324, 2))},
    {GroupId::FourG, "4g", SHOW_4G, One(Read(AREA_PARAMS, 8, 12)),
     Two(Read(AREA_PARAMS, 13, 2), Write(AREA_PARAMS, 8, 15))},
    {GroupId::Network, "net", SHOW_NETWORK, One(Read(AREA_PARAMS, 158, 104)),
     One(Write(AREA_PARAMS, 164, 98))},
    {GroupId::Acq, "acq", SHOW_ACQ_BLOCK, TableBlocks(OP_READ), TableBlocks(OP_WRITE)},
};

}  // namespace

std::span<const GroupEntry> Groups() { return GROUPS; }

const GroupEntry& Group(GroupId id) { return GROUPS[static_cast<size_t>(id)]; }

const GroupEntry* FindGroup(std::string_view name) {
  for (const GroupEntry& g : GROUPS) {
    if (g.name == name) return &g;
  }
  return nullptr;
}

const GroupEntry* GroupWriting(uint8_t area, uint16_t address) {
  for (const GroupEntry& g : GROUPS) {
    for (const FrameHeader& h : g.set.Span()) {
      if (h.opCode == OP_WRITE && h.area == area && h.address == address) return &g;
    }
  }
  return nullptr;
}

}  // namespace qv31
