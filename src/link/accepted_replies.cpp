#include "link/accepted_replies.h"

#include <algorithm>
#include <array>

namespace qv31 {
namespace {

constexpr uint16_t kShowAll4GPortsNet =
    SHOW_4G | SHOW_PORT1 | SHOW_PORT2 | SHOW_PORT3 | SHOW_PORT4 | SHOW_NETWORK;

constexpr std::array<AcceptedReply, 15> kRows = {{
    {AREA_PARAMS, OP_READ_REPLY, 6, 320, ReplyTarget::Params, 0, kShowAll4GPortsNet, 0},
    {AREA_PARAMS, OP_READ_REPLY, 6, 2, ReplyTarget::Params, 0, SHOW_PORT1, 0},
    {AREA_PARAMS, OP_READ_REPLY, 320, 2, ReplyTarget::Params, 314, SHOW_PORT2, 0},
    {AREA_PARAMS, OP_READ_REPLY, 322, 2, ReplyTarget::Params, 316, SHOW_PORT3, 0},
    {AREA_PARAMS, OP_READ_REPLY, 324, 2, ReplyTarget::Params, 318, SHOW_PORT4, 0},
    {AREA_PARAMS, OP_READ_REPLY, 8, 12, ReplyTarget::Params, 2, SHOW_4G, 0},
    {AREA_PARAMS, OP_READ_REPLY, 13, 2, ReplyTarget::Params, 7, SHOW_4G, 0},
    {AREA_PARAMS, OP_READ_REPLY, 158, 104, ReplyTarget::Params, 152, SHOW_NETWORK, 0},
    {AREA_PARAMS, OP_WRITE_ACK, MATCH_ANY, MATCH_ANY, ReplyTarget::None, 0, SHOW_NONE, 0},
    {AREA_TABLE, OP_READ_REPLY, 0x000, 512, ReplyTarget::Table, 0, SHOW_ACQ_BLOCK, 0},
    {AREA_TABLE, OP_READ_REPLY, 0x200, 512, ReplyTarget::Table, 512, SHOW_ACQ_BLOCK, 1},
    {AREA_TABLE, OP_READ_REPLY, 0x400, 512, ReplyTarget::Table, 1024, SHOW_ACQ_BLOCK, 2},
    {AREA_TABLE, OP_READ_REPLY, 0x600, 512, ReplyTarget::Table, 1536, SHOW_ACQ_BLOCK, 3},
    {AREA_TABLE, OP_WRITE_ACK, MATCH_ANY, MATCH_ANY, ReplyTarget::None, 0, SHOW_NONE, 0},
    {AREA_IDENT, OP_READ_REPLY, 0, IDENT_SIZE, ReplyTarget::Ident, 0, SHOW_VERSION, 0},
}};

// Every write the tool sends: the three groups of the parameter image and the four table
// blocks. The stop frame (table address 0, length 1) is sent outside the engine.
constexpr std::array<FrameHeader, 10> kWrites = {{
    {AREA_PARAMS, OP_WRITE, 6, 2},
    {AREA_PARAMS, OP_WRITE, 320, 2},
    {AREA_PARAMS, OP_WRITE, 322, 2},
    {AREA_PARAMS, OP_WRITE, 324, 2},
    {AREA_PARAMS, OP_WRITE, 8, 15},
    {AREA_PARAMS, OP_WRITE, 164, 98},
    {AREA_TABLE, OP_WRITE, 0x000, 512},
    {AREA_TABLE, OP_WRITE, 0x200, 512},
    {AREA_TABLE, OP_WRITE, 0x400, 512},
    {AREA_TABLE, OP_WRITE, 0x600, 512},
}};

bool FieldMatches(uint32_t expected, uint16_t actual) {
  return expected == MATCH_ANY || expected == actual;
}

}  // namespace

std::span<const AcceptedReply> AcceptedReplies() { return kRows; }

const AcceptedReply* MatchAcceptedReply(const FrameHeader& h) {
  for (const AcceptedReply& row : kRows) {
    if (row.area == h.area && row.opCode == h.opCode && FieldMatches(row.address, h.address) &&
        FieldMatches(row.length, h.length)) {
      return &row;
    }
  }
  return nullptr;
}

bool ReplyAnswers(const FrameHeader& request, const FrameHeader& reply) {
  if (request.area != reply.area) return false;
  if (request.opCode == OP_READ) {
    return reply.opCode == OP_READ_REPLY && reply.address == request.address &&
           reply.length == request.length;
  }
  if (request.opCode != OP_WRITE || reply.opCode != OP_WRITE_ACK) return false;
  if (reply.address == request.address && reply.length == request.length) return true;
  // Gateways that do not echo the window answer with any address and length; only an echo
  // of another write is a late answer to that write.
  return !NamesToolWrite(reply);
}

std::span<const FrameHeader> ToolWrites() { return kWrites; }

bool NamesToolWrite(const FrameHeader& ack) {
  return std::any_of(kWrites.begin(), kWrites.end(), [&](const FrameHeader& w) {
    return w.area == ack.area && w.address == ack.address && w.length == ack.length;
  });
}

}  // namespace qv31
